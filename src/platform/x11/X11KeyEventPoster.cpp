#include "platform/x11/X11KeyEventPoster.h"

#include "platform/DebugLog.h"
#include "platform/x11/XcbExtensionsOnDemand.h"

#include <QChar>
#include <QGuiApplication>
#include <QList>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

const QString kTag = QStringLiteral("KeyEventPoster");

// Keysyms (X11/keysymdef.h) of the keys this poster needs by name.
enum Keysym : std::uint32_t {
    XK_BackSpace = 0xff08,
    XK_Tab = 0xff09,
    XK_Return = 0xff0d,
    XK_Pause = 0xff13,
    XK_Scroll_Lock = 0xff14,
    XK_Escape = 0xff1b,
    XK_Home = 0xff50,
    XK_Left = 0xff51,
    XK_Up = 0xff52,
    XK_Right = 0xff53,
    XK_Down = 0xff54,
    XK_Page_Up = 0xff55,
    XK_Page_Down = 0xff56,
    XK_End = 0xff57,
    XK_Print = 0xff61,
    XK_Insert = 0xff63,
    XK_Menu = 0xff67,
    XK_Num_Lock = 0xff7f,
    XK_KP_Enter = 0xff8d,
    XK_F1 = 0xffbe,
    XK_Shift_L = 0xffe1,
    XK_Control_L = 0xffe3,
    XK_Caps_Lock = 0xffe5,
    XK_Shift_Lock = 0xffe6,
    XK_Meta_L = 0xffe7,
    XK_Alt_L = 0xffe9,
    XK_Super_L = 0xffeb,
    XK_Delete = 0xffff,
};

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> XcbReply<T> adopt(T* reply) {
    return XcbReply<T>(reply, &std::free);
}

// The keyboard mapping as the server has it now: keysyms per keycode, the first two of each being the
// plain and the shifted symbol of the first group.
class KeyboardMapping {
public:
    explicit KeyboardMapping(xcb_connection_t* connection) {
        const xcb_setup_t* setup = xcb_get_setup(connection);
        m_minKeycode = setup->min_keycode;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto reply = adopt(xcb_get_keyboard_mapping_reply(
            connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr));
        if (!reply)
            return;
        m_perKeycode = reply->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
        m_keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply.get()));
    }

    struct Key {
        xcb_keycode_t keycode;
        bool needsShift;
    };

    // The keycode that types `keysym`, preferring one that needs no Shift.
    std::optional<Key> find(std::uint32_t keysym) const {
        if (keysym == 0 || m_perKeycode == 0)
            return std::nullopt;
        for (int column = 0; column < std::min(m_perKeycode, 2); ++column) {
            for (size_t index = column; index < m_keysyms.size(); index += m_perKeycode) {
                if (m_keysyms[index] == keysym)
                    return Key{xcb_keycode_t(m_minKeycode + index / m_perKeycode), column == 1};
            }
        }
        return std::nullopt;
    }

    std::uint32_t plainKeysym(xcb_keycode_t keycode) const {
        const size_t index = size_t(keycode - m_minKeycode) * m_perKeycode;
        return keycode >= m_minKeycode && index < m_keysyms.size() ? m_keysyms[index] : 0;
    }

private:
    int m_minKeycode = 0;
    int m_perKeycode = 0;
    std::vector<xcb_keysym_t> m_keysyms;
};

// Modifier keys that are down right now, whatever device pressed them. Lock keys are left alone: they
// only act on press, and releasing them is not what anyone holding them asked for.
QList<xcb_keycode_t> heldModifierKeys(xcb_connection_t* connection, const KeyboardMapping& mapping) {
    auto modifiers =
        adopt(xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    auto keymap = adopt(xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr));
    QList<xcb_keycode_t> held;
    if (!modifiers || !keymap)
        return held;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const int count = xcb_get_modifier_mapping_keycodes_length(modifiers.get());
    for (int i = 0; i < count; ++i) {
        const xcb_keycode_t keycode = keycodes[i];
        if (keycode == 0 || held.contains(keycode) || !(keymap->keys[keycode / 8] & (1 << (keycode % 8))))
            continue;
        switch (mapping.plainKeysym(keycode)) {
        case XK_Caps_Lock:
        case XK_Shift_Lock:
        case XK_Num_Lock:
        case XK_Scroll_Lock:
            continue;
        default:
            held.append(keycode);
        }
    }
    return held;
}

} // namespace

std::uint32_t X11KeyEventPoster::keysymForQtKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Escape:
        return XK_Escape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return XK_Tab;
    case Qt::Key_Backspace:
        return XK_BackSpace;
    case Qt::Key_Return:
        return XK_Return;
    case Qt::Key_Enter:
        return XK_KP_Enter;
    case Qt::Key_Insert:
        return XK_Insert;
    case Qt::Key_Delete:
        return XK_Delete;
    case Qt::Key_Pause:
        return XK_Pause;
    case Qt::Key_Print:
        return XK_Print;
    case Qt::Key_Home:
        return XK_Home;
    case Qt::Key_End:
        return XK_End;
    case Qt::Key_Left:
        return XK_Left;
    case Qt::Key_Up:
        return XK_Up;
    case Qt::Key_Right:
        return XK_Right;
    case Qt::Key_Down:
        return XK_Down;
    case Qt::Key_PageUp:
        return XK_Page_Up;
    case Qt::Key_PageDown:
        return XK_Page_Down;
    case Qt::Key_Menu:
        return XK_Menu;
    case Qt::Key_Shift:
        return XK_Shift_L;
    case Qt::Key_Control:
        return XK_Control_L;
    case Qt::Key_Alt:
        return XK_Alt_L;
    case Qt::Key_Meta:
        return XK_Super_L;
    default:
        break;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
        return XK_F1 + (qtKey - Qt::Key_F1);
    // Printable Latin-1 keys: Qt names them by their upper-case character, the keysym is the character.
    if ((qtKey >= 0x20 && qtKey <= 0x7e) || (qtKey >= 0xa0 && qtKey <= 0xff))
        return QChar(char16_t(qtKey)).toLower().unicode();
    return 0;
}

bool X11KeyEventPoster::postKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) {
        debugLog(kTag, QStringLiteral("not on an X display"));
        return false;
    }
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection, XcbExtensionsOnDemand::test());
    if (!xtest || !xtest->present) {
        debugLog(kTag, QStringLiteral("the display has no XTEST extension"));
        return false;
    }

    // Everything is resolved before anything is sent, so a key the layout lacks leaves no key stuck.
    const KeyboardMapping mapping(connection);
    const std::optional<KeyboardMapping::Key> key = mapping.find(keysymForQtKey(qtKey));
    if (!key) {
        debugLog(kTag, QStringLiteral("no key types Qt key 0x%1 on this layout").arg(qtKey, 0, 16));
        return false;
    }
    if (key->needsShift || qtKey == Qt::Key_Backtab)
        modifiers |= Qt::ShiftModifier;

    QList<xcb_keycode_t> modifierKeys;
    const auto addModifier = [&](Qt::KeyboardModifier modifier, std::uint32_t keysym,
                                 std::uint32_t alternative) {
        if (!(modifiers & modifier))
            return true;
        std::optional<KeyboardMapping::Key> found = mapping.find(keysym);
        if (!found)
            found = mapping.find(alternative);
        if (found)
            modifierKeys.append(found->keycode);
        return found.has_value();
    };
    if (!addModifier(Qt::ControlModifier, XK_Control_L, XK_Control_L) ||
        !addModifier(Qt::ShiftModifier, XK_Shift_L, XK_Shift_L) ||
        !addModifier(Qt::AltModifier, XK_Alt_L, XK_Meta_L) ||
        !addModifier(Qt::MetaModifier, XK_Super_L, XK_Meta_L)) {
        debugLog(kTag, QStringLiteral("a modifier key is missing from the layout"));
        return false;
    }

    const auto send = [connection](uint8_t type, xcb_keycode_t keycode) {
        xcb_test_fake_input(connection, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, XCB_NONE);
    };
    for (const xcb_keycode_t held : heldModifierKeys(connection, mapping))
        send(XCB_KEY_RELEASE, held);
    for (const xcb_keycode_t modifier : modifierKeys)
        send(XCB_KEY_PRESS, modifier);
    send(XCB_KEY_PRESS, key->keycode);
    send(XCB_KEY_RELEASE, key->keycode);
    for (auto it = modifierKeys.crbegin(); it != modifierKeys.crend(); ++it)
        send(XCB_KEY_RELEASE, *it);
    xcb_flush(connection);
    return true;
}
