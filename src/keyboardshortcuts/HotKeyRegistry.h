#pragma once

#include "keyboardshortcuts/Shortcut.h"

#include <functional>

// The lowest layer of the library: one platform hot key per registration, each with its own id, and the
// key-down and key-up calls of the registration whose hot key fired. While one of our menus is open
// the grabs are released (the menu holds the keyboard) and the same combinations are recognised in our
// own key events instead.
namespace KeyboardShortcuts::HotKeyRegistry {

using Handler = std::function<void(const Shortcut&)>;

// Registers with the platform at once; false (and nothing kept) when the platform refuses.
bool registerShortcut(const Shortcut& shortcut, Handler onKeyDown, Handler onKeyUp);
// Unregisters and forgets every registration of the combination.
void unregisterShortcut(const Shortcut& shortcut);
// True while a registration of the combination is kept (registered, or released for a mode).
bool isRegistered(const Shortcut& shortcut);

// Puts the grabs and the menu key watch into the state the three switches call for.
void update(bool enabled, bool menuOpen, bool paused);

// Called with the combination of a kept registration that the platform dropped: lost with a keyboard
// change, or refused when the grabs were made again after a menu, a pause or a disable.
void setDroppedHandler(std::function<void(const Shortcut&)> onDropped);

// True when another client already holds the combination.
bool isTakenBySystem(const Shortcut& shortcut);

// Unregisters and forgets everything (tests).
void clear();

// The ids given so far (tests).
int lastId();

} // namespace KeyboardShortcuts::HotKeyRegistry
