#include "platform/x11/X11KeyboardLayout.h"

#include "platform/MainQueue.h"
#include "platform/x11/XkbKeyNames.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <xcb/xcb.h>
// The XKB header names a member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace {

// Dead keys type nothing by themselves; show the accent they stand for.
char32_t deadKeyCharacter(xkb_keysym_t keysym) {
    switch (keysym) {
    case XKB_KEY_dead_grave:
        return U'`';
    case XKB_KEY_dead_acute:
        return U'\u00B4';
    case XKB_KEY_dead_circumflex:
        return U'^';
    case XKB_KEY_dead_tilde:
        return U'~';
    case XKB_KEY_dead_macron:
        return U'\u00AF';
    case XKB_KEY_dead_breve:
        return U'\u02D8';
    case XKB_KEY_dead_abovedot:
        return U'\u02D9';
    case XKB_KEY_dead_diaeresis:
        return U'\u00A8';
    case XKB_KEY_dead_abovering:
        return U'\u02DA';
    case XKB_KEY_dead_doubleacute:
        return U'\u02DD';
    case XKB_KEY_dead_caron:
        return U'\u02C7';
    case XKB_KEY_dead_cedilla:
        return U'\u00B8';
    case XKB_KEY_dead_ogonek:
        return U'\u02DB';
    default:
        return 0;
    }
}

} // namespace

void X11KeyboardLayout::Deleter::operator()(xkb_context* context) const {
    xkb_context_unref(context);
}
void X11KeyboardLayout::Deleter::operator()(xkb_keymap* keymap) const {
    xkb_keymap_unref(keymap);
}
void X11KeyboardLayout::Deleter::operator()(xkb_state* state) const {
    xkb_state_unref(state);
}

X11KeyboardLayout::X11KeyboardLayout(QObject* parent)
    : KeyboardLayout(parent) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11)
        return;
    m_connection = x11->connection();
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint8_t baseError = 0;
    if (!xkb_x11_setup_xkb_extension(m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
                                     XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                                     &major, &minor, &m_xkbFirstEvent, &baseError))
        return;
    m_deviceId = xkb_x11_get_core_keyboard_device_id(m_connection);
    m_context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (m_deviceId < 0 || !m_context)
        return;

    // Qt selects these for itself already; asking again keeps us independent of what it chooses.
    const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    xcb_xkb_select_events(m_connection, xcb_xkb_device_spec_t(m_deviceId), events, 0, events, 0xff, 0xff,
                          nullptr);
    reload();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11KeyboardLayout::~X11KeyboardLayout() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void X11KeyboardLayout::reload() {
    m_reloadPending = false;
    std::unique_ptr<xkb_keymap, Deleter> keymap(xkb_x11_keymap_new_from_device(
        m_context.get(), m_connection, m_deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return;
    std::unique_ptr<xkb_state, Deleter> state(
        xkb_x11_state_new_from_device(keymap.get(), m_connection, m_deviceId));
    if (!state)
        return;
    m_keymap = std::move(keymap);
    m_state = std::move(state);
}

void X11KeyboardLayout::scheduleReload() {
    // One layout switch sends a burst of events; rebuild once after it.
    if (m_reloadPending)
        return;
    m_reloadPending = true;
    MainQueue::async(
        [this] {
            reload();
            Q_EMIT layoutChanged();
        },
        this);
}

bool X11KeyboardLayout::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !m_keymap)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto* mapping = static_cast<const xcb_mapping_notify_event_t*>(message);
        if (mapping->request != XCB_MAPPING_POINTER)
            scheduleReload();
    } else if (m_xkbFirstEvent != 0 && type == m_xkbFirstEvent) {
        const auto* any = static_cast<const xcb_xkb_new_keyboard_notify_event_t*>(message);
        if (any->deviceID != m_deviceId)
            return false;
        if (any->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || any->xkbType == XCB_XKB_MAP_NOTIFY) {
            scheduleReload();
        } else if (any->xkbType == XCB_XKB_STATE_NOTIFY) {
            const auto* state = static_cast<const xcb_xkb_state_notify_event_t*>(message);
            const xkb_layout_index_t before =
                xkb_state_serialize_layout(m_state.get(), XKB_STATE_LAYOUT_EFFECTIVE);
            xkb_state_update_mask(m_state.get(), state->baseMods, state->latchedMods, state->lockedMods,
                                  xkb_layout_index_t(state->baseGroup),
                                  xkb_layout_index_t(state->latchedGroup),
                                  xkb_layout_index_t(state->lockedGroup));
            if (xkb_state_serialize_layout(m_state.get(), XKB_STATE_LAYOUT_EFFECTIVE) != before)
                Q_EMIT layoutChanged();
        }
    }
    return false;
}

std::uint32_t X11KeyboardLayout::unshiftedKeysym(std::uint8_t keycode, std::uint32_t group) const {
    const xkb_layout_index_t groups = xkb_keymap_num_layouts_for_key(m_keymap.get(), keycode);
    if (groups == 0)
        return XKB_KEY_NoSymbol;
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(m_keymap.get(), keycode, group % groups, 0, &syms);
    return count == 1 ? syms[0] : XKB_KEY_NoSymbol;
}

std::uint32_t X11KeyboardLayout::displayGroup() const {
    const xkb_layout_index_t active = xkb_state_serialize_layout(m_state.get(), XKB_STATE_LAYOUT_EFFECTIVE);
    const xkb_keycode_t probe = xkb_keymap_key_by_name(m_keymap.get(), "AC01");
    if (probe == XKB_KEYCODE_INVALID)
        return active;
    auto isLatin = [&](xkb_layout_index_t group) {
        const xkb_keysym_t sym = unshiftedKeysym(std::uint8_t(probe), group);
        return sym >= XKB_KEY_a && sym <= XKB_KEY_z;
    };
    if (isLatin(active))
        return active;
    const xkb_layout_index_t count = xkb_keymap_num_layouts(m_keymap.get());
    for (xkb_layout_index_t group = 0; group < count; ++group) {
        if (isLatin(group))
            return group;
    }
    return active;
}

std::optional<std::uint8_t> X11KeyboardLayout::xKeycode(int keyCode) const {
    if (!m_keymap)
        return std::nullopt;
    const QByteArray name = XkbKeyNames::nameForKeyCode(keyCode);
    if (name.isEmpty())
        return std::nullopt;
    const xkb_keycode_t keycode = xkb_keymap_key_by_name(m_keymap.get(), name.constData());
    if (keycode == XKB_KEYCODE_INVALID || keycode > 255)
        return std::nullopt;
    return std::uint8_t(keycode);
}

QList<std::uint8_t> X11KeyboardLayout::xKeycodesForKeysym(std::uint32_t keysym) const {
    QList<std::uint8_t> keycodes;
    if (!m_keymap)
        return keycodes;
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(m_keymap.get()), 255);
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(m_keymap.get()); keycode <= last; ++keycode) {
        const xkb_layout_index_t groups = xkb_keymap_num_layouts_for_key(m_keymap.get(), keycode);
        for (xkb_layout_index_t group = 0; group < groups; ++group) {
            if (unshiftedKeysym(std::uint8_t(keycode), group) == keysym) {
                keycodes.append(std::uint8_t(keycode));
                break;
            }
        }
    }
    return keycodes;
}

QString X11KeyboardLayout::characterForKeyCode(int keyCode) const {
    const std::optional<std::uint8_t> keycode = xKeycode(keyCode);
    if (!keycode)
        return {};
    const xkb_keysym_t keysym = unshiftedKeysym(*keycode, displayGroup());
    char32_t character = xkb_keysym_to_utf32(keysym);
    if (character == 0)
        character = deadKeyCharacter(keysym);
    if (character < 0x20 || (character >= 0x7f && character < 0xa0))
        return {};
    return QString::fromUcs4(&character, 1);
}

std::optional<int> X11KeyboardLayout::keyCodeForNativeScanCode(quint32 scanCode) const {
    if (!m_keymap)
        return std::nullopt;
    const char* name = xkb_keymap_key_get_name(m_keymap.get(), scanCode);
    if (!name)
        return std::nullopt;
    return XkbKeyNames::keyCodeForName(QByteArray(name));
}

std::optional<int> X11KeyboardLayout::keyCodeForQtKey(int qtKey) const {
    if (!m_keymap || qtKey <= 0x20 || qtKey > 0xff)
        return std::nullopt;
    // Latin-1 keysyms are the characters themselves; Qt names letters by their capitals.
    const char32_t character = QChar::toLower(char32_t(qtKey));
    const xkb_layout_index_t group = displayGroup();
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(m_keymap.get()), 255);
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(m_keymap.get()); keycode <= last; ++keycode) {
        if (unshiftedKeysym(std::uint8_t(keycode), group) == character)
            return keyCodeForNativeScanCode(keycode);
    }
    return std::nullopt;
}
