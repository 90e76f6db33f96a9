#pragma once

// Shows or hides the application's taskbar presence ("Show in Dock") by switching the activation
// policy: regular windows get taskbar entries, accessory ones do not.
class DockIconManager {
public:
    // Applies now (main thread): sets the policy, re-activates the application and posts
    // "DockIconVisibilityChanged" {"value": show}.
    static void setShowInDock(bool show);
    // Stores "showInDock", then applies it on a later turn of the main queue.
    static void updateShowInDock(bool show);
};
