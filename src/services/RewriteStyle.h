#pragma once

#include <QList>
#include <QString>
#include <optional>

// How a rewrite changes the text. Raw values are the lower-case names.
enum class RewriteStyle { Regenerate, Friendly, Professional, Concise, Detailed };

// In declaration order.
const QList<RewriteStyle>& allRewriteStyles();
QString rawValue(RewriteStyle style);
std::optional<RewriteStyle> rewriteStyleFromRawValue(const QString& raw);
