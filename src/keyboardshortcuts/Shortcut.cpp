#include "keyboardshortcuts/Shortcut.h"

#include "keyboardshortcuts/Localization.h"
#include "platform/KeyboardLayout.h"
#include "platform/Platform.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMenu>
#include <array>
#include <cmath>

namespace KeyboardShortcuts {

namespace {

struct SpecialKey {
    int keyCode;
    const char16_t* displayText; // null: the localised space name
    int qtKey;                   // 0: no Qt key equivalent (keypad keys)
};

// Keys without a typed character, or whose character is unsuitable for display.
const std::array kSpecialKeys = {
    SpecialKey{36, u"\u21A9", Qt::Key_Return},
    SpecialKey{51, u"\u232B", Qt::Key_Backspace},
    SpecialKey{117, u"\u2326", Qt::Key_Delete},
    SpecialKey{119, u"\u2198", Qt::Key_End},
    SpecialKey{53, u"\u238B", Qt::Key_Escape},
    SpecialKey{114, u"?\u20DD", Qt::Key_Help},
    SpecialKey{115, u"\u2196", Qt::Key_Home},
    SpecialKey{49, nullptr, Qt::Key_Space},
    SpecialKey{48, u"\u21E5", Qt::Key_Tab},
    SpecialKey{116, u"\u21DE", Qt::Key_PageUp},
    SpecialKey{121, u"\u21DF", Qt::Key_PageDown},
    SpecialKey{126, u"\u2191", Qt::Key_Up},
    SpecialKey{124, u"\u2192", Qt::Key_Right},
    SpecialKey{125, u"\u2193", Qt::Key_Down},
    SpecialKey{123, u"\u2190", Qt::Key_Left},
    SpecialKey{122, u"F1", Qt::Key_F1},
    SpecialKey{120, u"F2", Qt::Key_F2},
    SpecialKey{99, u"F3", Qt::Key_F3},
    SpecialKey{118, u"F4", Qt::Key_F4},
    SpecialKey{96, u"F5", Qt::Key_F5},
    SpecialKey{97, u"F6", Qt::Key_F6},
    SpecialKey{98, u"F7", Qt::Key_F7},
    SpecialKey{100, u"F8", Qt::Key_F8},
    SpecialKey{101, u"F9", Qt::Key_F9},
    SpecialKey{109, u"F10", Qt::Key_F10},
    SpecialKey{103, u"F11", Qt::Key_F11},
    SpecialKey{111, u"F12", Qt::Key_F12},
    SpecialKey{105, u"F13", Qt::Key_F13},
    SpecialKey{107, u"F14", Qt::Key_F14},
    SpecialKey{113, u"F15", Qt::Key_F15},
    SpecialKey{106, u"F16", Qt::Key_F16},
    SpecialKey{64, u"F17", Qt::Key_F17},
    SpecialKey{79, u"F18", Qt::Key_F18},
    SpecialKey{80, u"F19", Qt::Key_F19},
    SpecialKey{90, u"F20", Qt::Key_F20},
    SpecialKey{82, u"0\u20E3", 0},
    SpecialKey{83, u"1\u20E3", 0},
    SpecialKey{84, u"2\u20E3", 0},
    SpecialKey{85, u"3\u20E3", 0},
    SpecialKey{86, u"4\u20E3", 0},
    SpecialKey{87, u"5\u20E3", 0},
    SpecialKey{88, u"6\u20E3", 0},
    SpecialKey{89, u"7\u20E3", 0},
    SpecialKey{91, u"8\u20E3", 0},
    SpecialKey{92, u"9\u20E3", 0},
    SpecialKey{71, u"\u2612\u20E3", 0},
    SpecialKey{65, u".\u20E3", 0},
    SpecialKey{75, u"/\u20E3", 0},
    SpecialKey{76, u"\u21A9\u20E3", 0},
    SpecialKey{81, u"=\u20E3", 0},
    SpecialKey{78, u"-\u20E3", 0},
    SpecialKey{67, u"*\u20E3", 0},
    SpecialKey{69, u"+\u20E3", 0},
};

const SpecialKey* specialKey(qint64 keyCode) {
    for (const SpecialKey& key : kSpecialKeys) {
        if (key.keyCode == keyCode)
            return &key;
    }
    return nullptr;
}

std::optional<qint64> integerMember(const QJsonObject& object, const char* name) {
    const QJsonValue value = object.value(QLatin1String(name));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    // Whole numbers a 64-bit integer holds exactly; JSON numbers beyond that lost their value already.
    if (number != std::trunc(number) || std::fabs(number) > 9007199254740992.0)
        return std::nullopt;
    return qint64(number);
}

} // namespace

namespace Modifier {

qint64 fromQt(Qt::KeyboardModifiers modifiers) {
    qint64 result = 0;
    if (modifiers & Qt::ControlModifier)
        result |= control;
    if (modifiers & Qt::AltModifier)
        result |= option;
    if (modifiers & Qt::ShiftModifier)
        result |= shift;
    if (modifiers & Qt::MetaModifier)
        result |= command;
    return result;
}

Qt::KeyboardModifiers toQt(qint64 modifiers) {
    Qt::KeyboardModifiers result;
    if (modifiers & control)
        result |= Qt::ControlModifier;
    if (modifiers & option)
        result |= Qt::AltModifier;
    if (modifiers & shift)
        result |= Qt::ShiftModifier;
    if (modifiers & command)
        result |= Qt::MetaModifier;
    return result;
}

QString symbolText(qint64 modifiers) {
    QString text;
    if (modifiers & control)
        text += QChar(0x2303);
    if (modifiers & option)
        text += QChar(0x2325);
    if (modifiers & shift)
        text += QChar(0x21E7);
    if (modifiers & command)
        text += QChar(0x2318);
    if (modifiers & function)
        text += QStringLiteral("\U0001F310\uFE0E");
    return text;
}

} // namespace Modifier

bool isSpecialKey(qint64 keyCode) {
    return specialKey(keyCode) != nullptr;
}

std::optional<int> keyCodeForSpecialQtKey(int qtKey) {
    if (qtKey == Qt::Key_Enter)
        return 76;
    if (qtKey == Qt::Key_Backtab)
        return 48;
    for (const SpecialKey& key : kSpecialKeys) {
        if (key.qtKey == qtKey)
            return key.keyCode;
    }
    return std::nullopt;
}

Shortcut::Shortcut(qint64 carbonKeyCode, qint64 carbonModifiers)
    : m_keyCode(carbonKeyCode)
    , m_modifiers(carbonModifiers & Modifier::known) {}

std::optional<Shortcut> Shortcut::fromKeyEvent(const QKeyEvent& event) {
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease)
        return std::nullopt;
    const KeyboardLayout& layout = platform().keyboardLayout();
    std::optional<int> keyCode;
    // The native code names the key's position; without one (synthetic events) go by the Qt key.
    if (event.nativeScanCode() != 0)
        keyCode = layout.keyCodeForNativeScanCode(event.nativeScanCode());
    if (!keyCode && event.nativeScanCode() == 0) {
        keyCode = event.modifiers().testFlag(Qt::KeypadModifier) ? std::nullopt
                                                                 : keyCodeForSpecialQtKey(event.key());
        if (!keyCode)
            keyCode = layout.keyCodeForQtKey(event.key());
    }
    if (!keyCode)
        return std::nullopt;
    return Shortcut(*keyCode, Modifier::fromQt(event.modifiers()));
}

QString Shortcut::toJson() const {
    const QJsonObject object{{QStringLiteral("carbonKeyCode"), m_keyCode},
                             {QStringLiteral("carbonModifiers"), m_modifiers}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<Shortcut> Shortcut::fromJson(const QString& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const std::optional<qint64> keyCode = integerMember(document.object(), "carbonKeyCode");
    const std::optional<qint64> modifiers = integerMember(document.object(), "carbonModifiers");
    if (!keyCode || !modifiers)
        return std::nullopt;
    return Shortcut(*keyCode, *modifiers, Decoded{});
}

bool Shortcut::isAllowedHotKey() const {
    if (m_modifiers & (Modifier::control | Modifier::option | Modifier::command))
        return true;
    const SpecialKey* special = specialKey(m_keyCode);
    return special && special->qtKey >= Qt::Key_F1 && special->qtKey <= Qt::Key_F35;
}

std::optional<QString> Shortcut::layoutCharacter() const {
    if (isSpecialKey(m_keyCode) || m_keyCode < 0 || m_keyCode > 0xffff)
        return std::nullopt;
    const QString character = platform().keyboardLayout().characterForKeyCode(int(m_keyCode));
    if (character.isEmpty())
        return std::nullopt;
    return character;
}

QString Shortcut::description() const {
    QString key;
    if (const SpecialKey* special = specialKey(m_keyCode)) {
        if (special->displayText) {
            key = QString::fromUtf16(special->displayText);
        } else {
            key = localized("space_key");
            if (!key.isEmpty())
                key[0] = key[0].toTitleCase();
        }
    } else {
        // Capitalised: "a" shows as "A", and a character whose capital is longer, "ß", as "Ss".
        const QString character = layoutCharacter().value_or(QString(QChar(0xFFFD)));
        const QList<uint> codePoints = character.toUcs4();
        const char32_t first = codePoints.isEmpty() ? 0xFFFD : char32_t(codePoints.first());
        const QList<uint> capital = QString::fromUcs4(&first, 1).toUpper().toUcs4();
        if (capital.size() > 1) {
            const char32_t head = char32_t(capital.first());
            key = QString::fromUcs4(&head, 1) +
                  QString::fromUcs4(reinterpret_cast<const char32_t*>(capital.constData()) + 1,
                                    capital.size() - 1)
                      .toLower();
        } else {
            const char32_t title = QChar::toTitleCase(first);
            key = QString::fromUcs4(&title, 1);
        }
    }
    return Modifier::symbolText(m_modifiers) + key;
}

std::optional<QKeySequence> Shortcut::keySequence() const {
    int qtKey = 0;
    if (const SpecialKey* special = specialKey(m_keyCode)) {
        qtKey = special->qtKey;
    } else if (const std::optional<QString> character = layoutCharacter()) {
        const QList<uint> codePoints = character->toUcs4();
        if (codePoints.size() == 1)
            qtKey = int(QChar::toUpper(char32_t(codePoints.first())));
    }
    if (qtKey == 0)
        return std::nullopt;
    return QKeySequence(QKeyCombination(modifiers(), Qt::Key(qtKey)));
}

QAction* Shortcut::matchingAction(const QList<QAction*>& actions) const {
    const std::optional<QKeySequence> sequence = keySequence();
    for (QAction* action : actions) {
        if (sequence && !action->shortcut().isEmpty() && action->shortcut() == *sequence)
            return action;
        if (QMenu* menu = action->menu()) {
            if (QAction* found = matchingAction(menu->actions()))
                return found;
        }
    }
    return nullptr;
}

} // namespace KeyboardShortcuts
