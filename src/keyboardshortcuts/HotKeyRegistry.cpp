#include "keyboardshortcuts/HotKeyRegistry.h"

#include "keyboardshortcuts/LocalEventMonitor.h"
#include "platform/DebugLog.h"
#include "platform/HotKeyService.h"
#include "platform/Platform.h"

#include <QKeyEvent>
#include <QPointer>
#include <cstdio>
#include <map>
#include <memory>

namespace KeyboardShortcuts::HotKeyRegistry {

namespace {

struct HotKey {
    Shortcut shortcut;
    bool registered;
    Handler onKeyDown;
    Handler onKeyUp;
};

struct State {
    std::map<quint32, HotKey> hotKeys;
    quint32 lastId = 0;
    QPointer<HotKeyService> service;
    QMetaObject::Connection connections[3];
    bool normal = true;
    std::unique_ptr<LocalEventMonitor> menuKeys;
};

State& state() {
    static State instance;
    return instance;
}

void printFailure(const Shortcut& shortcut, const char* reason) {
    std::printf("Error registering hotkey %s: %s\n", qPrintable(shortcut.description()), reason);
    std::fflush(stdout);
}

// The platform's hot keys, connected once per installed platform. Registrations made with a platform
// that has since been replaced died with it.
HotKeyService* service() {
    // None at the very end of the process, after the platform went.
    if (!hasPlatform())
        return nullptr;
    State& s = state();
    HotKeyService& current = platform().hotKeyService();
    if (s.service != &current) {
        s.hotKeys.clear();
        for (auto& connection : s.connections)
            QObject::disconnect(connection);
        s.service = &current;
        s.connections[0] =
            QObject::connect(&current, &HotKeyService::hotKeyPressed, &current, [](quint32 id) {
                const auto it = state().hotKeys.find(id);
                if (it == state().hotKeys.end())
                    return;
                debugLog(QStringLiteral("KeyboardShortcuts"),
                         QStringLiteral("⌨️ hot key %1 pressed").arg(it->second.shortcut.description()));
                const Shortcut shortcut = it->second.shortcut;
                const Handler handler = it->second.onKeyDown;
                handler(shortcut);
            });
        s.connections[1] =
            QObject::connect(&current, &HotKeyService::hotKeyReleased, &current, [](quint32 id) {
                const auto it = state().hotKeys.find(id);
                if (it == state().hotKeys.end())
                    return;
                // Copies: the handler may unregister this very record.
                const Shortcut shortcut = it->second.shortcut;
                const Handler handler = it->second.onKeyUp;
                handler(shortcut);
            });
        s.connections[2] = QObject::connect(&current, &HotKeyService::hotKeyLost, &current, [](quint32 id) {
            const auto it = state().hotKeys.find(id);
            if (it != state().hotKeys.end()) {
                printFailure(it->second.shortcut, "lost with a keyboard change");
                state().hotKeys.erase(it);
            }
        });
    }
    return &current;
}

bool platformRegister(quint32 id, const Shortcut& shortcut) {
    // Key codes are 16-bit and modifiers 32-bit; anything else comes from a hand-edited value.
    if (shortcut.carbonKeyCode() < 0 || shortcut.carbonKeyCode() > 0xffff || shortcut.carbonModifiers() < 0 ||
        shortcut.carbonModifiers() > 0xffffffffLL) {
        printFailure(shortcut, "out of range");
        return false;
    }
    HotKeyService* hotKeys = service();
    if (!hotKeys ||
        !hotKeys->registerHotKey(id, int(shortcut.carbonKeyCode()), int(shortcut.carbonModifiers()))) {
        printFailure(shortcut, "taken or not on this keyboard");
        return false;
    }
    return true;
}

void unregisterAll() {
    HotKeyService* hotKeys = service();
    for (auto& [id, hotKey] : state().hotKeys) {
        if (hotKey.registered && hotKeys)
            hotKeys->unregisterHotKey(id);
        hotKey.registered = false;
    }
}

void registerAll() {
    auto& hotKeys = state().hotKeys;
    for (auto it = hotKeys.begin(); it != hotKeys.end();) {
        if (it->second.registered) {
            ++it;
        } else if (platformRegister(it->first, it->second.shortcut)) {
            it->second.registered = true;
            ++it;
        } else {
            it = hotKeys.erase(it);
        }
    }
}

// Our own key events while a menu holds the keyboard. Auto-repeats are left to the menu.
bool handleMenuKey(QEvent* event) {
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (keyEvent->isAutoRepeat())
        return false;
    // A key pressed before the menu opened has its release reported by the platform's hot keys.
    if (event->type() == QEvent::KeyRelease && state().service && state().service->isHotKeyHeld())
        return false;
    const std::optional<Shortcut> pressed = Shortcut::fromKeyEvent(*keyEvent);
    if (!pressed)
        return false;
    for (auto& [id, hotKey] : state().hotKeys) {
        if (hotKey.shortcut.carbonKeyCode() == pressed->carbonKeyCode() &&
            Shortcut(0, hotKey.shortcut.carbonModifiers()).carbonModifiers() == pressed->carbonModifiers()) {
            // Copies: the handler may unregister this very record.
            const Shortcut shortcut = hotKey.shortcut;
            const Handler handler = event->type() == QEvent::KeyPress ? hotKey.onKeyDown : hotKey.onKeyUp;
            handler(shortcut);
            return true;
        }
    }
    return false;
}

} // namespace

bool registerShortcut(const Shortcut& shortcut, Handler onKeyDown, Handler onKeyUp) {
    State& s = state();
    service();
    const quint32 id = ++s.lastId;
    // Registered with the platform even while the grabs are released; the next mode change catches up.
    if (!platformRegister(id, shortcut))
        return false;
    s.hotKeys.emplace(id, HotKey{shortcut, true, std::move(onKeyDown), std::move(onKeyUp)});
    if (!s.normal) {
        service()->unregisterHotKey(id);
        s.hotKeys.at(id).registered = false;
    }
    return true;
}

void unregisterShortcut(const Shortcut& shortcut) {
    HotKeyService* platformHotKeys = service();
    auto& hotKeys = state().hotKeys;
    for (auto it = hotKeys.begin(); it != hotKeys.end();) {
        if (it->second.shortcut == shortcut) {
            if (it->second.registered && platformHotKeys)
                platformHotKeys->unregisterHotKey(it->first);
            it = hotKeys.erase(it);
        } else {
            ++it;
        }
    }
}

bool isRegistered(const Shortcut& shortcut) {
    service();
    for (const auto& [id, hotKey] : state().hotKeys) {
        if (hotKey.shortcut == shortcut)
            return true;
    }
    return false;
}

void update(bool enabled, bool menuOpen, bool paused) {
    State& s = state();
    s.normal = enabled && !menuOpen && !paused;
    if (s.normal) {
        registerAll();
        s.menuKeys.reset();
    } else if (enabled && menuOpen && !paused) {
        unregisterAll();
        if (!s.menuKeys)
            s.menuKeys = std::make_unique<LocalEventMonitor>(
                QList{QEvent::KeyPress, QEvent::KeyRelease},
                [](QObject*, QEvent* event) { return handleMenuKey(event); });
    } else {
        unregisterAll();
        s.menuKeys.reset();
    }
}

bool isTakenBySystem(const Shortcut& shortcut) {
    HotKeyService* hotKeys = service();
    if (!hotKeys || shortcut.carbonKeyCode() < 0 || shortcut.carbonKeyCode() > 0xffff)
        return false;
    return hotKeys->isTakenBySystem(int(shortcut.carbonKeyCode()), int(shortcut.carbonModifiers()));
}

void clear() {
    unregisterAll();
    state().hotKeys.clear();
    state().normal = true;
    state().menuKeys.reset();
}

int lastId() {
    return int(state().lastId);
}

} // namespace KeyboardShortcuts::HotKeyRegistry
