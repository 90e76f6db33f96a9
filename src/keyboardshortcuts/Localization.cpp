#include "keyboardshortcuts/Localization.h"

#include <cstring>

namespace KeyboardShortcuts {

QString localized(const char* key) {
    struct Text {
        const char* key;
        const char* text;
    };
    static constexpr Text kTexts[] = {
        {"record_shortcut", "Record Shortcut"},
        {"press_shortcut", "Press Shortcut"},
        {"keyboard_shortcut_used_by_menu_item",
         "This shortcut cannot be used because the menu item “%1” uses it."},
        {"keyboard_shortcut_used_by_system",
         "This shortcut cannot be used because the desktop or another application already uses it."},
        {"keyboard_shortcuts_can_be_changed",
         "Most desktop shortcuts can be changed in the keyboard settings of the desktop."},
        {"keyboard_shortcut_taken",
         "The desktop or another application uses this shortcut, so here it does nothing. Record another, "
         "or free it in the other program and open this again."},
        {"ok", "OK"},
        {"space_key", "space"},
    };
    for (const Text& text : kTexts) {
        if (std::strcmp(text.key, key) == 0)
            return QString::fromUtf8(text.text);
    }
    return QString::fromUtf8(key);
}

} // namespace KeyboardShortcuts
