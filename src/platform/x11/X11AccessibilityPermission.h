#pragma once

#include "platform/AccessibilityPermission.h"

#include <optional>

// On X11 any client may watch the pointer and post synthetic keys, so "trusted" means the display
// offers what that needs: the XTEST extension and XInput 2. Under Wayland without XWayland, or on a
// display lacking either extension, it is false.
class X11AccessibilityPermission : public AccessibilityPermission {
    Q_OBJECT
public:
    using AccessibilityPermission::AccessibilityPermission;

    bool isProcessTrusted() const override;
    // There is nothing to grant; a dialog explains what the display lacks.
    void requestTrust(QWidget* over) override;

private:
    // The display's extensions do not change while we are connected: asked once.
    mutable std::optional<bool> m_trusted;
};
