#pragma once

#include <QString>

enum class TTSSource;

// A listen button's action: stops the speech when `source` is the one playing, else reads `text` aloud in
// `language` for `source` (replacing any other speech).
void toggleSpeech(TTSSource source, const QString& text, const QString& language);
