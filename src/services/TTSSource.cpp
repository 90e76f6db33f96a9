#include "services/TTSSource.h"

const QList<TTSSource>& allTTSSources() {
    static const QList<TTSSource> all = {TTSSource::Input, TTSSource::Output, TTSSource::Unknown};
    return all;
}

QString rawValue(TTSSource source) {
    switch (source) {
    case TTSSource::Input:
        return QStringLiteral("input");
    case TTSSource::Output:
        return QStringLiteral("output");
    case TTSSource::Unknown:
        return QStringLiteral("unknown");
    }
    return QStringLiteral("unknown");
}

std::optional<TTSSource> ttsSourceFromRawValue(const QString& raw) {
    for (TTSSource source : allTTSSources()) {
        if (rawValue(source) == raw)
            return source;
    }
    return std::nullopt;
}
