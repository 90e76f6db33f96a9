#pragma once

#include "keyboardshortcuts/Key.h"

#include <QKeySequence>
#include <QMetaType>
#include <QString>
#include <optional>

class QAction;
class QKeyEvent;

namespace KeyboardShortcuts {

// Modifier bits of the stored format, and the only modifiers the library knows.
namespace Modifier {
inline constexpr qint64 control = 0x1000;
inline constexpr qint64 option = 0x0800;
inline constexpr qint64 shift = 0x0200;
inline constexpr qint64 command = 0x0100;
inline constexpr qint64 function = 0x20000;
inline constexpr qint64 known = control | option | shift | command | function;

// Qt names Option Alt and Command Meta (the Super key on X11). Qt has no fn modifier.
qint64 fromQt(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers toQt(qint64 modifiers);
// "⌃⌥⇧⌘🌐︎", in that order, for the bits present.
QString symbolText(qint64 modifiers);
} // namespace Modifier

// One key and its modifiers, as stored and registered.
class Shortcut {
public:
    // Keeps only the known modifier bits.
    Shortcut(qint64 carbonKeyCode, qint64 carbonModifiers);
    Shortcut(Key key, qint64 modifiers)
        : Shortcut(key.rawValue, modifiers) {}

    // From a key press or release; none for other events or keys without a stored code.
    static std::optional<Shortcut> fromKeyEvent(const QKeyEvent& event);

    // JSON text {"carbonKeyCode":…,"carbonModifiers":…}; decoding keeps the modifiers as written.
    QString toJson() const;
    static std::optional<Shortcut> fromJson(const QString& json);

    qint64 carbonKeyCode() const { return m_keyCode; }
    qint64 carbonModifiers() const { return m_modifiers; }
    Key key() const { return Key(int(m_keyCode)); }
    Qt::KeyboardModifiers modifiers() const { return Modifier::toQt(m_modifiers); }

    // A function key alone, or any key with Control, Option or Command: a hot key on a typing key with no
    // such modifier (or Shift alone) would swallow what the user types.
    bool isAllowedHotKey() const;

    // Modifier symbols, then the key's symbol or the character the layout types on it.
    QString description() const;
    // What the active layout types on the key without modifiers; none for special keys.
    std::optional<QString> layoutCharacter() const;
    // The same combination as a Qt key sequence, for actions and buttons; none for keypad keys or keys
    // the layout types nothing on.
    std::optional<QKeySequence> keySequence() const;

    // The first action (depth first, into submenus) whose shortcut is this combination.
    QAction* matchingAction(const QList<QAction*>& actions) const;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;

private:
    struct Decoded {};
    Shortcut(qint64 keyCode, qint64 modifiers, Decoded)
        : m_keyCode(keyCode)
        , m_modifiers(modifiers) {}

    qint64 m_keyCode;
    qint64 m_modifiers;
};

inline size_t qHash(const Shortcut& shortcut, size_t seed = 0) {
    return qHashMulti(seed, shortcut.carbonKeyCode(), shortcut.carbonModifiers());
}

// Keys shown by a symbol of their own rather than the character they type.
bool isSpecialKey(qint64 keyCode);
// The stored key code of a layout-independent Qt key (F-keys, arrows, Return, …).
std::optional<int> keyCodeForSpecialQtKey(int qtKey);

} // namespace KeyboardShortcuts
