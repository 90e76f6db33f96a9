#pragma once

#include "keyboardshortcuts/Shortcut.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The hot-key library: shortcuts known by name, stored in the user defaults under "KeyboardShortcuts_"
// followed by the name, registered as global hot keys, and dispatched to the handlers of every name
// whose stored combination fired.
namespace KeyboardShortcuts {

class Name {
public:
    Name() = default;
    // Stores the default when the user defaults hold nothing at all for the name.
    explicit Name(const QString& rawValue, std::optional<Shortcut> defaultShortcut = std::nullopt);
    static Name fromRawValue(const QString& rawValue);

    const QString& rawValue() const { return m_rawValue; }
    const std::optional<Shortcut>& defaultShortcut() const { return m_default; }
    QString storageKey() const { return QStringLiteral("KeyboardShortcuts_") + m_rawValue; }

    std::optional<Shortcut> shortcut() const;
    bool setShortcut(const std::optional<Shortcut>& shortcut) const;

    // Names are their text; the default plays no part.
    friend bool operator==(const Name& a, const Name& b) { return a.m_rawValue == b.m_rawValue; }

private:
    QString m_rawValue;
    std::optional<Shortcut> m_default;
};

inline size_t qHash(const Name& name, size_t seed = 0) {
    return ::qHash(name.rawValue(), seed);
}

enum class EventType { KeyDown, KeyUp };

// The stored shortcut; a missing, false or undecodable value reads as none, and so does one that may not
// be a hot key (Shortcut::isAllowedHotKey).
std::optional<Shortcut> getShortcut(const Name& name);
// Stores and registers the combination and posts the change. False, with nothing changed, when the
// combination may not be a hot key or cannot be registered (another application holds it, or no key of
// the keyboard has it).
bool setShortcut(const Shortcut& shortcut, const Name& name);
// None clears: false is stored for a name with a default, otherwise the value is removed.
bool setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);

void reset(const QList<Name>& names);
// Removes every decodable stored shortcut of any name, including names never seen in this run.
void resetAll();

void onKeyDown(const Name& name, std::function<void()> action);
void onKeyUp(const Name& name, std::function<void()> action);

void enable(const QList<Name>& names);
void disable(const QList<Name>& names);
void removeAllHandlers();

// Key events of a name while the object lives; destroying it detaches them.
class EventSubscription {
public:
    ~EventSubscription();
    EventSubscription(const EventSubscription&) = delete;
    EventSubscription& operator=(const EventSubscription&) = delete;

private:
    friend std::unique_ptr<EventSubscription> events(const Name&, std::function<void(EventType)>);
    EventSubscription(Name name, quint64 id)
        : m_name(std::move(name))
        , m_id(id) {}
    Name m_name;
    quint64 m_id;
};

std::unique_ptr<EventSubscription> events(const Name& name, std::function<void(EventType)> handler);
std::unique_ptr<EventSubscription> events(EventType type, const Name& name, std::function<void()> handler);

// Off: every hot key is released, handlers stay.
bool isEnabled();
void setEnabled(bool enabled);
// Set by a recording recorder: nothing is dispatched, and the grabs are released so the keys reach it.
bool isPaused();
void setPaused(bool paused);
// True while one of our menus is open (its keys are then recognised from our own key events).
bool isMenuOpen();

// True when another application already holds the combination. Plain F12 never counts.
bool isTakenBySystem(const Shortcut& shortcut);
// True when the name's stored shortcut does nothing because another application or the desktop holds its
// combination; it stays stored. A combination with handlers that has been let go since is grabbed now.
// Such a combination is also tried again by itself every few seconds until it is grabbed, and
// Notifications::ShortcutBindingDidChange tells when it is, or when a grab is refused or lost later.
bool isTakenElsewhere(const Name& name);
// True while some stored combination with handlers waits to be tried again.
bool isRetryingRefused();

// Forgets every handler, registration and switch (tests).
void resetForTesting();

} // namespace KeyboardShortcuts

Q_DECLARE_METATYPE(KeyboardShortcuts::Name)
