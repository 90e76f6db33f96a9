#pragma once

#include <QByteArray>
#include <optional>

// Stored virtual key codes name key positions; XKB names positions the same way (A is <AC01>). The
// table is one-to-one, so a stored shortcut names the same physical key on every layout.
namespace XkbKeyNames {

// The XKB key name of a stored key code, empty when the key has no counterpart here.
QByteArray nameForKeyCode(int keyCode);
std::optional<int> keyCodeForName(const QByteArray& name);

} // namespace XkbKeyNames
