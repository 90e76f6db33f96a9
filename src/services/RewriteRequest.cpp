#include "services/RewriteRequest.h"

QJsonObject RewriteRequest::toJson() const {
    return QJsonObject{
        {QStringLiteral("text"), text},
        {QStringLiteral("style"), style},
    };
}
