#pragma once

#include "platform/ActivationPolicy.h"

class QWindow;

// The activation policy on an X11 desktop. Regular: the application's own windows (normal windows and
// dialogs, and any window carrying the dynamic property "quilloraAppWindow" = true) get taskbar entries.
// Accessory: they are marked skip-taskbar and skip-pager. A change applies to windows already open, and
// windows shown later follow the policy in force. Tool windows (the floating bar, popovers, toasts) are no
// entry under either policy: marked so each time they are shown. Popups, which no window manager sees,
// are never touched.
class X11ActivationPolicy : public ActivationPolicy {
    Q_OBJECT
public:
    explicit X11ActivationPolicy(QObject* parent = nullptr);
    ~X11ActivationPolicy() override;

    Policy policy() const override { return m_policy; }
    void setPolicy(Policy policy) override;
    // Raises and activates the application's most recently active regular window, if one is visible.
    void activateIgnoringOtherApps() override;

    static bool isAppWindow(const QWindow* window);
    // Whether `window` is marked skip-taskbar on the display (tests, diagnostics).
    static bool skipsTaskbar(const QWindow* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // `mapped`: the window manager owns the window's state, so it is asked rather than told.
    void apply(QWindow* window, bool mapped, bool skip) const;

    Policy m_policy = Policy::Accessory;
};
