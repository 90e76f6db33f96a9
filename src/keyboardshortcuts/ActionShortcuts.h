#pragma once

#include "keyboardshortcuts/KeyboardShortcuts.h"

#include <functional>
#include <optional>

class QAbstractButton;
class QAction;
class QWidget;

// Named shortcuts on Qt's own objects. Every watcher here is a child of the object it serves, so it
// goes with it.
namespace KeyboardShortcuts {

// The action shows the combination as its shortcut; none clears it.
void setActionShortcut(QAction* action, const std::optional<Shortcut>& shortcut);
// The action follows the stored shortcut of the name from now on; none unbinds and clears it.
void bindActionShortcut(QAction* action, const std::optional<Name>& name);

// Calls `handler` for every press and release of the name's hot key while `view` is shown.
void onKeyboardShortcut(QWidget* view, const Name& name, std::function<void(EventType)> handler);
void onKeyboardShortcut(QWidget* view, const Name& name, EventType type, std::function<void()> handler);

// The button carries the name's stored combination as its shortcut, except while a recorder records.
void globalKeyboardShortcut(QAbstractButton* button, const Name& name);

} // namespace KeyboardShortcuts
