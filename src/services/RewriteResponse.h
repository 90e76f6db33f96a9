#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// The answer of a rewrite call.
struct RewriteResponse {
    QString rewritten;
    QString provider;

    // Needs "rewritten" as text; "provider" may be missing.
    static std::optional<RewriteResponse> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const RewriteResponse& other) const = default;
};
