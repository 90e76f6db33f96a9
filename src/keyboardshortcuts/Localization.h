#pragma once

#include <QString>

namespace KeyboardShortcuts {

// The library's own interface texts, looked up by fixed keys; an unknown key answers itself.
QString localized(const char* key);

} // namespace KeyboardShortcuts
