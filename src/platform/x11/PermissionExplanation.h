#pragma once

class QWidget;

// What stands in for the system's permission prompts on X11, where there is nothing to grant: a dialog
// that says what the display lacks and why. One dialog per permission at a time.
namespace PermissionExplanation {

enum class Permission { Accessibility, ScreenCapture };

// Shows (or raises) the explanation of `permission` over window `over` (none: on its own), which takes
// it along when it goes; returns the dialog.
QWidget* show(Permission permission, QWidget* over);

} // namespace PermissionExplanation
