#include "keyboardshortcuts/HotKeyRegistry.h"

#include "keyboardshortcuts/LocalEventMonitor.h"
#include "platform/DebugLog.h"
#include "platform/HotKeyService.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>
#include <vector>

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
    // Modifier presses kept from the menu while they may still become one of our combinations.
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QKeyEvent>>> heldModifiers;
    bool givingBack = false;
    // The keys down while a menu is open, by native code: the server repeats a held key as further
    // presses that Qt does not mark as repeats.
    QSet<quint32> keysDown;
    std::function<void(const Shortcut&)> onDropped;
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
                const Shortcut shortcut = it->second.shortcut;
                printFailure(shortcut, "lost with a keyboard change");
                state().hotKeys.erase(it);
                if (state().onDropped)
                    state().onDropped(shortcut);
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
    std::vector<Shortcut> dropped;
    for (auto it = hotKeys.begin(); it != hotKeys.end();) {
        if (it->second.registered) {
            ++it;
        } else if (platformRegister(it->first, it->second.shortcut)) {
            it->second.registered = true;
            ++it;
        } else {
            dropped.push_back(it->second.shortcut);
            it = hotKeys.erase(it);
        }
    }
    // Told once the table is whole again: the handler may register.
    for (const Shortcut& shortcut : dropped) {
        if (state().onDropped)
            state().onDropped(shortcut);
    }
}

Qt::KeyboardModifiers modifierOfKey(int key) {
    switch (key) {
    case Qt::Key_Control:
        return Qt::ControlModifier;
    case Qt::Key_Alt:
        return Qt::AltModifier;
    case Qt::Key_Shift:
        return Qt::ShiftModifier;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return Qt::MetaModifier;
    default:
        return {};
    }
}

// Whether these modifiers, held, may still become one of our combinations.
bool beginsACombination(Qt::KeyboardModifiers held) {
    const qint64 modifiers = Modifier::fromQt(held);
    for (const auto& [id, hotKey] : state().hotKeys) {
        if ((modifiers & ~hotKey.shortcut.carbonModifiers()) == 0)
            return true;
    }
    return false;
}

// The kept modifier presses turned out not to be ours: the menu gets them, late but in order, and does
// with them what it always did (an Alt closes it).
void giveBackHeldModifiers() {
    State& s = state();
    auto held = std::move(s.heldModifiers);
    s.heldModifiers.clear();
    s.givingBack = true;
    for (auto& [receiver, event] : held) {
        if (receiver)
            QCoreApplication::sendEvent(receiver, event.get());
    }
    s.givingBack = false;
}

// Our own key events while a menu holds the keyboard. Auto-repeats are left to the menu. A menu closes
// on an Alt press of its own, so the modifier presses that may begin one of our combinations are kept
// from it until the combination is complete or turns out not to be ours.
bool handleMenuKey(QObject* receiver, QEvent* event) {
    State& s = state();
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (s.givingBack || keyEvent->isAutoRepeat())
        return false;
    const bool press = event->type() == QEvent::KeyPress;
    // Whether the key went down while the menu was open; unknown for an event without a native code.
    bool downInMenu = true;
    if (press && keyEvent->nativeScanCode() != 0) {
        if (s.keysDown.contains(keyEvent->nativeScanCode()))
            return false;
        s.keysDown.insert(keyEvent->nativeScanCode());
    } else if (!press && keyEvent->nativeScanCode() != 0) {
        downInMenu = s.keysDown.remove(keyEvent->nativeScanCode());
    }
    if (const Qt::KeyboardModifiers modifier = modifierOfKey(keyEvent->key())) {
        if (press && beginsACombination(keyEvent->modifiers() | modifier)) {
            s.heldModifiers.emplace_back(receiver, std::unique_ptr<QKeyEvent>(keyEvent->clone()));
            return true;
        }
        giveBackHeldModifiers();
        return false;
    }
    // A key pressed before the menu opened has its release reported by the platform's hot keys, which
    // may have done so already: the raw release can come before the menu's own.
    if (!press && !downInMenu)
        return false;
    const std::optional<Shortcut> pressed = Shortcut::fromKeyEvent(*keyEvent);
    if (pressed) {
        for (auto& [id, hotKey] : s.hotKeys) {
            if (hotKey.shortcut.carbonKeyCode() == pressed->carbonKeyCode() &&
                Shortcut(0, hotKey.shortcut.carbonModifiers()).carbonModifiers() ==
                    pressed->carbonModifiers()) {
                // Their presses were part of it.
                s.heldModifiers.clear();
                // Copies: the handler may unregister this very record.
                const Shortcut shortcut = hotKey.shortcut;
                const Handler handler = press ? hotKey.onKeyDown : hotKey.onKeyUp;
                handler(shortcut);
                return true;
            }
        }
    }
    if (press)
        giveBackHeldModifiers();
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
    if (!menuOpen) {
        s.heldModifiers.clear();
        s.keysDown.clear();
    }
    if (s.normal) {
        registerAll();
        s.menuKeys.reset();
    } else if (enabled && menuOpen && !paused) {
        unregisterAll();
        if (!s.menuKeys)
            s.menuKeys = std::make_unique<LocalEventMonitor>(
                QList{QEvent::KeyPress, QEvent::KeyRelease},
                [](QObject* receiver, QEvent* event) { return handleMenuKey(receiver, event); });
    } else {
        unregisterAll();
        s.menuKeys.reset();
    }
}

void setDroppedHandler(std::function<void(const Shortcut&)> onDropped) {
    state().onDropped = std::move(onDropped);
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
    state().heldModifiers.clear();
    state().keysDown.clear();
}

int lastId() {
    return int(state().lastId);
}

} // namespace KeyboardShortcuts::HotKeyRegistry
