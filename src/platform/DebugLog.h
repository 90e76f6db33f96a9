#pragma once

#include <QString>

// Diagnostic line "[Tag] message" on stderr; compiled to nothing in release builds.
#ifdef QUILLORA_DEBUG_LOG
void debugLog(const QString& tag, const QString& message);
#else
inline void debugLog(const QString&, const QString&) {}
#endif
