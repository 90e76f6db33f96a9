#pragma once

#include <QList>
#include <QString>
#include <optional>

// Which text a speech belongs to: the text being translated (input) or the translation (output).
// Raw values "input", "output", "unknown".
enum class TTSSource { Input, Output, Unknown };

// In declaration order.
const QList<TTSSource>& allTTSSources();
QString rawValue(TTSSource source);
std::optional<TTSSource> ttsSourceFromRawValue(const QString& raw);
