#include "services/RewriteStyle.h"

const QList<RewriteStyle>& allRewriteStyles() {
    static const QList<RewriteStyle> all = {RewriteStyle::Regenerate, RewriteStyle::Friendly,
                                            RewriteStyle::Professional, RewriteStyle::Concise,
                                            RewriteStyle::Detailed};
    return all;
}

QString rawValue(RewriteStyle style) {
    switch (style) {
    case RewriteStyle::Regenerate:
        return QStringLiteral("regenerate");
    case RewriteStyle::Friendly:
        return QStringLiteral("friendly");
    case RewriteStyle::Professional:
        return QStringLiteral("professional");
    case RewriteStyle::Concise:
        return QStringLiteral("concise");
    case RewriteStyle::Detailed:
        return QStringLiteral("detailed");
    }
    return QStringLiteral("regenerate");
}

std::optional<RewriteStyle> rewriteStyleFromRawValue(const QString& raw) {
    for (RewriteStyle style : allRewriteStyles()) {
        if (rawValue(style) == raw)
            return style;
    }
    return std::nullopt;
}
