#include "platform/x11/X11HotKeyService.h"

#include "platform/DebugLog.h"
#include "platform/x11/X11KeyboardLayout.h"
#include "platform/x11/XcbExtensionsOnDemand.h"

#include <QCoreApplication>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
// The XKB header names a member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <cstdlib>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace {

// Stored modifier bits and the X modifiers they stand for.
constexpr int kControl = 0x1000;
constexpr int kOption = 0x0800;
constexpr int kShift = 0x0200;
constexpr int kCommand = 0x0100;
constexpr int kFunction = 0x20000;
constexpr std::uint16_t kMatchedMods =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

} // namespace

X11HotKeyService::X11HotKeyService(X11KeyboardLayout& layout, QObject* parent)
    : HotKeyService(parent)
    , m_layout(layout) {
    if (xcb_connection_t* connection = m_layout.connection()) {
        const xcb_setup_t* setup = xcb_get_setup(connection);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
        if (screens.rem > 0)
            m_root = screens.data->root;
    }
    m_numLockMask = findNumLockMask();
    connect(&m_layout, &KeyboardLayout::layoutChanged, this, &X11HotKeyService::followLayout);
}

X11HotKeyService::~X11HotKeyService() {
    for (const Registration& registration : std::as_const(m_registrations))
        ungrab(registration.combination);
    if (m_filtering && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void X11HotKeyService::ensureFiltering() {
    if (m_filtering)
        return;
    m_filtering = true;
    QCoreApplication::instance()->installNativeEventFilter(this);
    // Without it a held key repeats as release/press pairs; with it the release comes once, at the end.
    xcb_xkb_per_client_flags(m_layout.connection(), XCB_XKB_ID_USE_CORE_KBD,
                             XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                             XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0);
}

std::optional<X11HotKeyService::Combination> X11HotKeyService::combinationFor(int keyCode,
                                                                              int modifiers) const {
    // The fn key never reaches X clients, so a shortcut with it cannot be grabbed.
    if (m_root == 0 || (modifiers & kFunction) != 0)
        return std::nullopt;
    const std::optional<std::uint8_t> keycode = m_layout.xKeycode(keyCode);
    if (!keycode)
        return std::nullopt;
    std::uint16_t mods = 0;
    if (modifiers & kControl)
        mods |= XCB_MOD_MASK_CONTROL;
    if (modifiers & kOption)
        mods |= XCB_MOD_MASK_1;
    if (modifiers & kShift)
        mods |= XCB_MOD_MASK_SHIFT;
    if (modifiers & kCommand)
        mods |= XCB_MOD_MASK_4;
    return Combination{*keycode, mods};
}

std::uint16_t X11HotKeyService::findNumLockMask() const {
    xcb_connection_t* connection = m_layout.connection();
    if (!connection)
        return 0;
    const QList<std::uint8_t> numLockKeys = m_layout.xKeycodesForKeysym(XKB_KEY_Num_Lock);
    if (numLockKeys.isEmpty())
        return 0;
    xcb_get_modifier_mapping_reply_t* reply =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (!reply)
        return 0;
    std::uint16_t mask = 0;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            if (numLockKeys.contains(keycodes[modifier * perModifier + i])) {
                mask = std::uint16_t(1u << modifier);
                break;
            }
        }
    }
    std::free(reply);
    return mask;
}

QList<std::uint16_t> X11HotKeyService::lockVariants() const {
    QList<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
    if (m_numLockMask != 0)
        variants << m_numLockMask << std::uint16_t(m_numLockMask | XCB_MOD_MASK_LOCK);
    return variants;
}

bool X11HotKeyService::grab(const Combination& combination) const {
    xcb_connection_t* connection = m_layout.connection();
    const QList<std::uint16_t> variants = lockVariants();
    // Send every grab before waiting, so the whole set costs one round trip. Without owner events every
    // key event of the grab comes to the root, so a window of ours with the focus cannot take the release.
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t lock : variants)
        cookies.push_back(xcb_grab_key_checked(connection, 0, m_root, std::uint16_t(combination.mods | lock),
                                               combination.keycode, XCB_GRAB_MODE_ASYNC,
                                               XCB_GRAB_MODE_ASYNC));
    bool allGranted = true;
    for (const xcb_void_cookie_t& cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            allGranted = false;
            std::free(error);
        }
    }
    if (!allGranted)
        ungrab(combination);
    return allGranted;
}

bool X11HotKeyService::isKeyDown(std::uint8_t keycode) const {
    xcb_connection_t* connection = m_layout.connection();
    xcb_query_keymap_reply_t* keymap =
        xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr);
    if (!keymap)
        return false;
    const bool down = (keymap->keys[keycode / 8] & (1u << (keycode % 8))) != 0;
    std::free(keymap);
    return down;
}

// The server repeats a held key as presses that look new, and a grab made while the key is down takes
// them: a key down then (a combination just recorded, a menu it closed, a layout change) acts only once
// it has come up and gone down again.
void X11HotKeyService::holdBackIfDown(std::uint8_t keycode) {
    if (m_held.contains(keycode) || m_downAtGrab.contains(keycode) || !isKeyDown(keycode))
        return;
    // Its release ends the hold-back wherever the server sends it; without raw releases it might never
    // be seen, and the next real press would be taken for a repeat.
    watchRawReleases(true);
    if (!m_watchingRawReleases)
        return;
    // Asked again now that releases are watched: one in between would have gone unseen.
    if (isKeyDown(keycode))
        m_downAtGrab.insert(keycode);
    else if (m_held.isEmpty() && m_downAtGrab.isEmpty())
        watchRawReleases(false);
}

void X11HotKeyService::ungrab(const Combination& combination) const {
    xcb_connection_t* connection = m_layout.connection();
    for (std::uint16_t lock : lockVariants())
        xcb_ungrab_key(connection, combination.keycode, m_root, std::uint16_t(combination.mods | lock));
    xcb_flush(connection);
}

bool X11HotKeyService::registerHotKey(quint32 id, int keyCode, int modifiers) {
    const std::optional<Combination> combination = combinationFor(keyCode, modifiers);
    if (!combination || m_registrations.contains(id))
        return false;
    // One client holds one grab per combination; a second registration of it is refused, not shared.
    for (const Registration& registration : std::as_const(m_registrations)) {
        if (registration.combination == *combination)
            return false;
    }
    ensureFiltering();
    if (!grab(*combination))
        return false;
    m_registrations.insert(id, Registration{keyCode, modifiers, *combination});
    holdBackIfDown(combination->keycode);
    return true;
}

void X11HotKeyService::unregisterHotKey(quint32 id) {
    const auto it = m_registrations.constFind(id);
    if (it == m_registrations.cend())
        return;
    ungrab(it->combination);
    // A key held now stays held: its grab goes on to its release, which still ends the hold (a menu
    // opened by the press releases the grabs). Without raw releases that release may never be seen.
    const bool wasHeld = !m_watchingRawReleases && m_held.remove(it->combination.keycode);
    m_registrations.erase(it);
    if (wasHeld)
        endHoldIfNoneLeft();
}

bool X11HotKeyService::isTakenBySystem(int keyCode, int modifiers) const {
    const std::optional<Combination> combination = combinationFor(keyCode, modifiers);
    if (!combination)
        return false;
    // Our own grab is not someone else's, and probing it would release it.
    for (const Registration& registration : std::as_const(m_registrations)) {
        if (registration.combination == *combination)
            return false;
    }
    if (!grab(*combination))
        return true;
    ungrab(*combination);
    return false;
}

void X11HotKeyService::followLayout() {
    // Only grabs whose key or lock modifiers moved are made anew: one dropped for a moment would send a
    // press made then to another window, and most changes (another group, a repeated notice) move none.
    const std::uint16_t numLockMask = findNumLockMask();
    QHash<quint32, std::optional<Combination>> moved;
    for (auto it = m_registrations.cbegin(); it != m_registrations.cend(); ++it) {
        const std::optional<Combination> combination = combinationFor(it->keyCode, it->modifiers);
        if (combination && *combination == it->combination && numLockMask == m_numLockMask)
            continue;
        ungrab(it->combination);
        moved.insert(it.key(), combination);
    }
    m_numLockMask = numLockMask;
    // A key held through the change still ends its hold: its release comes with the same key code.
    const bool wasHeld = !m_held.isEmpty();
    QList<quint32> lost;
    for (auto it = moved.cbegin(); it != moved.cend(); ++it) {
        Registration& registration = *m_registrations.find(it.key());
        if (it.value() && grab(*it.value())) {
            // The same key grabbed all along: a press of it may be on its way to us still.
            if (!(registration.combination == *it.value()))
                holdBackIfDown(it.value()->keycode);
            registration.combination = *it.value();
        } else {
            lost.append(it.key());
        }
    }
    for (quint32 id : std::as_const(lost)) {
        m_registrations.remove(id);
        if (!m_watchingRawReleases)
            m_held.removeIf([id](const auto& held) { return held.value() == id; });
        debugLog(QStringLiteral("X11HotKeyService"),
                 QStringLiteral("⚠️ hot key %1 lost with the layout").arg(id));
        Q_EMIT hotKeyLost(id);
    }
    if (wasHeld)
        endHoldIfNoneLeft();
}

void X11HotKeyService::deliver(quint32 id, bool pressed) {
    // Handlers open windows and run event loops: leave Qt's event reading first.
    QMetaObject::invokeMethod(
        this,
        [this, id, pressed] {
            if (pressed)
                Q_EMIT hotKeyPressed(id);
            else
                Q_EMIT hotKeyReleased(id);
        },
        Qt::QueuedConnection);
}

void X11HotKeyService::release(std::uint8_t keycode) {
    const bool heldBack = m_downAtGrab.remove(keycode);
    const auto held = m_held.constFind(keycode);
    if (held == m_held.cend()) {
        if (heldBack)
            endHoldIfNoneLeft();
        return;
    }
    const std::optional<quint32> id = *held;
    m_held.erase(held);
    if (id)
        deliver(*id, false);
    endHoldIfNoneLeft();
}

void X11HotKeyService::endHoldIfNoneLeft() {
    if (!m_held.isEmpty() || !m_downAtGrab.isEmpty())
        return;
    watchRawReleases(false);
    QMetaObject::invokeMethod(this, &HotKeyService::hotKeysReleased, Qt::QueuedConnection);
}

void X11HotKeyService::watchRawReleases(bool on) {
    if (on == m_watchingRawReleases)
        return;
    xcb_connection_t* connection = m_layout.connection();
    if (!m_xinputOpcode) {
        const xcb_query_extension_reply_t* xinput =
            xcb_get_extension_data(connection, XcbExtensionsOnDemand::input());
        m_xinputOpcode = xinput && xinput->present ? xinput->major_opcode : 0;
    }
    if (*m_xinputOpcode == 0)
        return;
    // Only while a key is held: selected for good, every key the user types would wake us.
    struct {
        xcb_input_event_mask_t header;
        std::uint32_t bits;
    } mask{};
    mask.header.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
    mask.header.mask_len = 1;
    mask.bits = on ? XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE : 0;
    xcb_input_xi_select_events(connection, m_root, 1, &mask.header);
    xcb_flush(connection);
    m_watchingRawReleases = on;
}

bool X11HotKeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* generic = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = generic->response_type & 0x7f;
    if (type == XCB_GE_GENERIC) {
        // The release of a held key while another grab than ours on the root had the keyboard (one of our
        // popups, say) or after ours ended early: the key event itself went to that grab or window.
        const auto* raw = static_cast<const xcb_input_raw_key_release_event_t*>(message);
        if (!m_xinputOpcode || *m_xinputOpcode == 0 || raw->extension != *m_xinputOpcode ||
            raw->event_type != XCB_INPUT_RAW_KEY_RELEASE)
            return false;
        release(std::uint8_t(raw->detail));
        return true;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto* event = static_cast<const xcb_key_press_event_t*>(message);
    if (event->event != m_root)
        return false;

    if (type == XCB_KEY_RELEASE) {
        if (!m_held.contains(event->detail) && !m_downAtGrab.contains(event->detail))
            return false;
        release(event->detail);
        return true;
    }

    // Detectable auto-repeat makes a held key repeat as presses alone: only the first one counts.
    if (m_held.contains(event->detail))
        return true;
    const Combination pressed{event->detail, std::uint16_t(event->state & kMatchedMods)};
    for (auto it = m_registrations.cbegin(); it != m_registrations.cend(); ++it) {
        if (it->combination == pressed) {
            // A repeat of a key held from before the grab: the grab has the keyboard until it comes up.
            if (m_downAtGrab.remove(event->detail)) {
                m_held.insert(event->detail, std::nullopt);
                return true;
            }
            m_held.insert(event->detail, it.key());
            // Before any handler runs: a grab a handler takes would carry the release elsewhere.
            watchRawReleases(true);
            deliver(it.key(), true);
            return true;
        }
    }
    return false;
}
