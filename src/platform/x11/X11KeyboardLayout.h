#pragma once

#include "platform/KeyboardLayout.h"

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <memory>

struct xcb_connection_t;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// The keyboard layout of the X server, read through xkbcommon from Qt's connection. It follows layout
// changes (XKB new-keyboard and map events, core MappingNotify) and the active group.
class X11KeyboardLayout : public KeyboardLayout, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11KeyboardLayout(QObject* parent = nullptr);
    ~X11KeyboardLayout() override;

    QString characterForKeyCode(int keyCode) const override;
    std::optional<int> keyCodeForQtKey(int qtKey) const override;
    std::optional<int> keyCodeForNativeScanCode(quint32 scanCode) const override;

    // The X keycode of a stored key code in the current keymap.
    std::optional<std::uint8_t> xKeycode(int keyCode) const;
    // Keycodes whose unmodified symbol (in any group) is `keysym`.
    QList<std::uint8_t> xKeycodesForKeysym(std::uint32_t keysym) const;

    bool isValid() const { return m_keymap != nullptr; }
    xcb_connection_t* connection() const { return m_connection; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Deleter {
        void operator()(xkb_context* context) const;
        void operator()(xkb_keymap* keymap) const;
        void operator()(xkb_state* state) const;
    };

    void reload();
    void scheduleReload();
    // The group whose letters are Latin: the active one when it is, else the first that is.
    std::uint32_t displayGroup() const;
    std::uint32_t unshiftedKeysym(std::uint8_t keycode, std::uint32_t group) const;

    xcb_connection_t* m_connection = nullptr;
    std::int32_t m_deviceId = -1;
    std::uint8_t m_xkbFirstEvent = 0;
    bool m_reloadPending = false;
    std::unique_ptr<xkb_context, Deleter> m_context;
    std::unique_ptr<xkb_keymap, Deleter> m_keymap;
    std::unique_ptr<xkb_state, Deleter> m_state;
};
