#include "keyboardshortcuts/KeyboardShortcuts.h"

#include "keyboardshortcuts/HotKeyRegistry.h"
#include "platform/DebugLog.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace KeyboardShortcuts {

namespace {

using Action = std::function<void()>;

// Tables keep the order in which names first got a handler.
template <typename Value> struct NameTable {
    std::vector<std::pair<Name, Value>> entries;

    Value& operator[](const Name& name) {
        for (auto& entry : entries) {
            if (entry.first == name)
                return entry.second;
        }
        entries.emplace_back(name, Value{});
        return entries.back().second;
    }
    Value* find(const Name& name) {
        for (auto& entry : entries) {
            if (entry.first == name)
                return &entry.second;
        }
        return nullptr;
    }
};

// Watches our menus and other popups opening and closing: while one is open it holds the keyboard, so hot
// keys are recognised from its key events instead.
class MenuTracking : public QObject {
public:
    MenuTracking() { QCoreApplication::instance()->installEventFilter(this); }
    bool isOpen() const { return m_isOpen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();
    // Held as QObject: a menu announces its end when it is no longer a widget.
    QList<QPointer<QObject>> m_open;
    QSet<QObject*> m_watched;
    bool m_isOpen = false;
};

constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 4000;

struct State {
    bool enabled = true;
    bool paused = false;
    bool initialized = false;
    NameTable<QList<Action>> keyDownHandlers;
    NameTable<QList<Action>> keyUpHandlers;
    NameTable<std::map<quint64, Action>> streamKeyDownHandlers;
    NameTable<std::map<quint64, Action>> streamKeyUpHandlers;
    quint64 nextStreamId = 1;
    std::unique_ptr<MenuTracking> menuTracking;
    QHash<QString, std::optional<Shortcut>> reportedRefusals;
    // Stored combinations of names with handlers that the platform refused (another program holds them,
    // say). X tells nobody when a grab is let go, so they are tried again, less and less often, but only
    // while there are any: with none the timer is stopped.
    QList<Shortcut> refused;
    QPointer<QTimer> retryTimer;
    int retryDelayMs = kFirstRetryMs;
};

State& state() {
    static State instance;
    return instance;
}

void followRefused();
void dropped(const Shortcut& shortcut);

void updateRegistry() {
    const State& s = state();
    HotKeyRegistry::update(s.enabled, s.menuTracking && s.menuTracking->isOpen(), s.paused);
    followRefused();
}

bool MenuTracking::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show && event->type() != QEvent::Hide)
        return false;
    // A menu, a picker's list or any other popup of ours grabs the keyboard while it is open.
    auto* menu = watched->isWidgetType() ? static_cast<QWidget*>(watched) : nullptr;
    if (!menu || !menu->isWindow() || menu->windowType() != Qt::Popup)
        return false;
    m_open.removeAll(static_cast<QObject*>(menu));
    if (event->type() == QEvent::Show) {
        m_open.append(static_cast<QObject*>(menu));
        // A menu deleted while shown sends no Hide.
        if (!m_watched.contains(menu)) {
            m_watched.insert(menu);
            // A widget announces its end before its weak pointers clear: drop it by address.
            connect(menu, &QObject::destroyed, this, [this](QObject* gone) {
                m_watched.remove(gone);
                m_open.removeIf([gone](const QPointer<QObject>& open) { return open.data() == gone; });
                update();
            });
        }
    }
    update();
    return false;
}

void MenuTracking::update() {
    m_open.removeAll(nullptr);
    if (m_isOpen == !m_open.isEmpty())
        return;
    m_isOpen = !m_open.isEmpty();
    updateRegistry();
}

void initialize() {
    State& s = state();
    if (s.initialized || !QCoreApplication::instance())
        return;
    s.initialized = true;
    s.menuTracking = std::make_unique<MenuTracking>();
    HotKeyRegistry::setDroppedHandler(&dropped);
}

bool matches(const std::optional<Shortcut>& stored, const Shortcut& fired) {
    return stored && stored->carbonKeyCode() == fired.carbonKeyCode() &&
           stored->carbonModifiers() == fired.carbonModifiers();
}

template <typename Table, typename Call> void dispatch(Table& table, const Shortcut& fired, Call call) {
    // Handlers may attach or detach others: walk a copy.
    const auto entries = table.entries;
    for (const auto& [name, handlers] : entries) {
        if (matches(getShortcut(name), fired))
            call(handlers);
    }
}

void handleKeyEvent(const Shortcut& fired, bool down) {
    State& s = state();
    if (s.paused)
        return;
    dispatch(down ? s.keyDownHandlers : s.keyUpHandlers, fired, [](const QList<Action>& actions) {
        for (const Action& action : actions)
            action();
    });
    dispatch(down ? s.streamKeyDownHandlers : s.streamKeyUpHandlers, fired,
             [](const std::map<quint64, Action>& actions) {
                 for (const auto& [id, action] : actions)
                     action();
             });
}

// The stored value as written, whether or not it may be a hot key.
std::optional<Shortcut> storedShortcut(const Name& name) {
    const QVariant value = UserDefaults::standard().object(name.storageKey());
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return Shortcut::fromJson(value.toString());
}

bool registerIfNew(const Shortcut& shortcut) {
    if (HotKeyRegistry::isRegistered(shortcut))
        return true;
    return HotKeyRegistry::registerShortcut(
        shortcut, [](const Shortcut& fired) { handleKeyEvent(fired, true); },
        [](const Shortcut& fired) { handleKeyEvent(fired, false); });
}

QList<std::pair<Name, Shortcut>> namesInUse();

void postBindingChange(const Shortcut& shortcut) {
    for (const auto& [name, combination] : namesInUse()) {
        if (combination == shortcut)
            NotificationCenter::shared().post(Notifications::ShortcutBindingDidChange,
                                              {{NotificationKeys::name, QVariant::fromValue(name)}});
    }
}

bool isWanted(const Shortcut& shortcut) {
    const auto inUse = namesInUse();
    return std::any_of(inUse.cbegin(), inUse.cend(),
                       [&](const auto& entry) { return entry.second == shortcut; });
}

void retryRefused() {
    State& s = state();
    QList<Shortcut> stillRefused;
    QList<Shortcut> bound;
    for (const Shortcut& shortcut : std::exchange(s.refused, {})) {
        if (!isWanted(shortcut) || HotKeyRegistry::isRegistered(shortcut))
            continue;
        if (registerIfNew(shortcut))
            bound.append(shortcut);
        else
            stillRefused.append(shortcut);
    }
    s.refused = stillRefused;
    s.retryDelayMs = std::min(s.retryDelayMs * 2, kLongestRetryMs);
    followRefused();
    for (const Shortcut& shortcut : std::as_const(bound))
        postBindingChange(shortcut);
}

// The retry runs only while some refused combination waits and the grabs are wanted at all (not while a
// menu, a recorder or the switch has them released).
void followRefused() {
    State& s = state();
    const bool wanted = !s.refused.isEmpty() && s.enabled && !s.paused && !isMenuOpen();
    if (!wanted) {
        if (s.retryTimer)
            s.retryTimer->stop();
        if (s.refused.isEmpty())
            s.retryDelayMs = kFirstRetryMs;
        return;
    }
    if (!s.retryTimer) {
        // The application's own: it goes with it, never after it.
        s.retryTimer = new QTimer(QCoreApplication::instance());
        s.retryTimer->setSingleShot(true);
        QObject::connect(s.retryTimer, &QTimer::timeout, s.retryTimer, &retryRefused);
    }
    if (!s.retryTimer->isActive())
        s.retryTimer->start(s.retryDelayMs);
}

// Registers a stored combination of a name in use, remembering a refusal to try it again later.
bool bind(const Shortcut& shortcut) {
    State& s = state();
    const bool bound = registerIfNew(shortcut);
    if (bound)
        s.refused.removeAll(shortcut);
    else if (!s.refused.contains(shortcut))
        s.refused.append(shortcut);
    followRefused();
    return bound;
}

void dropped(const Shortcut& shortcut) {
    if (!isWanted(shortcut))
        return;
    if (!state().refused.contains(shortcut))
        state().refused.append(shortcut);
    followRefused();
    postBindingChange(shortcut);
}

// Names with at least one handler, each with its stored combination.
QList<std::pair<Name, Shortcut>> namesInUse() {
    State& s = state();
    QList<std::pair<Name, Shortcut>> inUse;
    auto collect = [&](const auto& table) {
        for (const auto& [name, handlers] : table.entries) {
            if (handlers.empty())
                continue;
            if (const std::optional<Shortcut> stored = getShortcut(name))
                inUse.append({name, *stored});
        }
    };
    collect(s.keyDownHandlers);
    collect(s.keyUpHandlers);
    collect(s.streamKeyDownHandlers);
    collect(s.streamKeyUpHandlers);
    return inUse;
}

void postChange(const Name& name) {
    NotificationCenter::shared().post(Notifications::ShortcutByNameDidChange,
                                      {{NotificationKeys::name, QVariant::fromValue(name)}});
}

void attach(NameTable<QList<Action>>& table, const Name& name, Action action) {
    table[name].append(std::move(action));
    if (const std::optional<Shortcut> stored = getShortcut(name))
        bind(*stored);
}

void removeStreamHandler(const Name& name, quint64 id) {
    State& s = state();
    for (auto* table : {&s.streamKeyDownHandlers, &s.streamKeyUpHandlers}) {
        if (auto* handlers = table->find(name))
            handlers->erase(id);
    }
    if (const std::optional<Shortcut> stored = getShortcut(name)) {
        for (const auto& [user, combination] : namesInUse()) {
            if (combination == *stored)
                return;
        }
        HotKeyRegistry::unregisterShortcut(*stored);
    }
}

} // namespace

Name::Name(const QString& rawValue, std::optional<Shortcut> defaultShortcut)
    : m_rawValue(rawValue)
    , m_default(std::move(defaultShortcut)) {
    if (m_default && !UserDefaults::standard().contains(storageKey()))
        KeyboardShortcuts::setShortcut(*m_default, *this);
    initialize();
}

Name Name::fromRawValue(const QString& rawValue) {
    return Name(rawValue);
}

std::optional<Shortcut> Name::shortcut() const {
    return getShortcut(*this);
}

bool Name::setShortcut(const std::optional<Shortcut>& shortcut) const {
    return KeyboardShortcuts::setShortcut(shortcut, *this);
}

std::optional<Shortcut> getShortcut(const Name& name) {
    const std::optional<Shortcut> stored = storedShortcut(name);
    if (!stored || stored->isAllowedHotKey())
        return stored;
    // Read on every key press: say it once per value. The value stays stored; the user may record anew.
    std::optional<Shortcut>& reported = state().reportedRefusals[name.rawValue()];
    if (reported != stored) {
        reported = stored;
        debugLog(QStringLiteral("KeyboardShortcuts"),
                 QStringLiteral("⛔ %1 stored for %2 is not used: without Control, Alt or Super only function "
                                "keys may be hot keys")
                     .arg(stored->toJson(), name.rawValue()));
    }
    return std::nullopt;
}

bool setShortcut(const Shortcut& shortcut, const Name& name) {
    if (!shortcut.isAllowedHotKey())
        return false;
    const std::optional<Shortcut> old = getShortcut(name);
    // The same combination stored again is registered anew, under a fresh id.
    if (old && *old == shortcut)
        HotKeyRegistry::unregisterShortcut(*old);
    // Register first: a combination that cannot work is not stored, and another old one keeps working.
    if (!registerIfNew(shortcut))
        return false;
    if (old && !(*old == shortcut))
        HotKeyRegistry::unregisterShortcut(*old);
    UserDefaults::standard().set(name.storageKey(), shortcut.toJson());
    postChange(name);
    return true;
}

bool setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
    if (shortcut)
        return setShortcut(*shortcut, name);
    const std::optional<Shortcut> current = getShortcut(name);
    if (!current)
        return true;
    if (name.defaultShortcut())
        UserDefaults::standard().set(name.storageKey(), false);
    else
        UserDefaults::standard().remove(name.storageKey());
    HotKeyRegistry::unregisterShortcut(*current);
    postChange(name);
    return true;
}

void reset(const QList<Name>& names) {
    for (const Name& name : names) {
        if (name.defaultShortcut()) {
            setShortcut(*name.defaultShortcut(), name);
        } else if (const std::optional<Shortcut> current = storedShortcut(name)) {
            UserDefaults::standard().remove(name.storageKey());
            HotKeyRegistry::unregisterShortcut(*current);
            postChange(name);
        }
    }
}

void resetAll() {
    const QString prefix = QStringLiteral("KeyboardShortcuts_");
    QSet<QString> seen;
    QList<Name> names;
    for (const QString& key : UserDefaults::standard().allKeys()) {
        if (!key.startsWith(prefix))
            continue;
        const QString rawValue = key.mid(prefix.size());
        if (!seen.contains(rawValue)) {
            seen.insert(rawValue);
            names.append(Name::fromRawValue(rawValue));
        }
    }
    reset(names);
}

void onKeyDown(const Name& name, std::function<void()> action) {
    attach(state().keyDownHandlers, name, std::move(action));
}

void onKeyUp(const Name& name, std::function<void()> action) {
    attach(state().keyUpHandlers, name, std::move(action));
}

void enable(const QList<Name>& names) {
    for (const Name& name : names) {
        if (const std::optional<Shortcut> stored = getShortcut(name))
            bind(*stored);
    }
}

void disable(const QList<Name>& names) {
    for (const Name& name : names) {
        if (const std::optional<Shortcut> stored = getShortcut(name)) {
            HotKeyRegistry::unregisterShortcut(*stored);
            state().refused.removeAll(*stored);
        }
    }
    followRefused();
}

void removeAllHandlers() {
    for (const auto& [name, stored] : namesInUse())
        HotKeyRegistry::unregisterShortcut(stored);
    state().keyDownHandlers.entries.clear();
    state().keyUpHandlers.entries.clear();
}

EventSubscription::~EventSubscription() {
    removeStreamHandler(m_name, m_id);
}

std::unique_ptr<EventSubscription> events(const Name& name, std::function<void(EventType)> handler) {
    State& s = state();
    const quint64 id = s.nextStreamId++;
    s.streamKeyDownHandlers[name][id] = [handler] { handler(EventType::KeyDown); };
    s.streamKeyUpHandlers[name][id] = [handler] { handler(EventType::KeyUp); };
    if (const std::optional<Shortcut> stored = getShortcut(name))
        bind(*stored);
    return std::unique_ptr<EventSubscription>(new EventSubscription(name, id));
}

std::unique_ptr<EventSubscription> events(EventType type, const Name& name, std::function<void()> handler) {
    return events(name, [type, handler = std::move(handler)](EventType event) {
        if (event == type)
            handler();
    });
}

bool isEnabled() {
    return state().enabled;
}

void setEnabled(bool enabled) {
    if (state().enabled == enabled)
        return;
    state().enabled = enabled;
    updateRegistry();
}

bool isPaused() {
    return state().paused;
}

void setPaused(bool paused) {
    if (state().paused == paused)
        return;
    state().paused = paused;
    updateRegistry();
}

bool isMenuOpen() {
    return state().menuTracking && state().menuTracking->isOpen();
}

bool isTakenBySystem(const Shortcut& shortcut) {
    if (shortcut.carbonKeyCode() == Key::f12.rawValue && shortcut.carbonModifiers() == 0)
        return false;
    return HotKeyRegistry::isTakenBySystem(shortcut);
}

bool isTakenElsewhere(const Name& name) {
    const std::optional<Shortcut> stored = getShortcut(name);
    if (!stored || HotKeyRegistry::isRegistered(*stored))
        return false;
    if (isWanted(*stored) && bind(*stored))
        return false;
    return isTakenBySystem(*stored);
}

void resetForTesting() {
    State& s = state();
    s.keyDownHandlers.entries.clear();
    s.keyUpHandlers.entries.clear();
    s.streamKeyDownHandlers.entries.clear();
    s.streamKeyUpHandlers.entries.clear();
    s.enabled = true;
    s.paused = false;
    s.reportedRefusals.clear();
    s.refused.clear();
    HotKeyRegistry::clear();
    followRefused();
}

bool isRetryingRefused() {
    return state().retryTimer && state().retryTimer->isActive();
}

} // namespace KeyboardShortcuts
