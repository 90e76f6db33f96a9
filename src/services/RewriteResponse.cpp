#include "services/RewriteResponse.h"

#include <QJsonValue>

std::optional<RewriteResponse> RewriteResponse::fromJson(const QJsonObject& object) {
    const QJsonValue rewritten = object.value(QStringLiteral("rewritten"));
    if (!rewritten.isString())
        return std::nullopt;
    return RewriteResponse{rewritten.toString(), object.value(QStringLiteral("provider")).toString()};
}

QJsonObject RewriteResponse::toJson() const {
    return QJsonObject{
        {QStringLiteral("rewritten"), rewritten},
        {QStringLiteral("provider"), provider},
    };
}
