#pragma once

#include <QJsonObject>
#include <QString>

// The body of a rewrite call before the envelope is added.
struct RewriteRequest {
    QString text;
    QString style; // a RewriteStyle raw value

    // Keys "text", "style".
    QJsonObject toJson() const;

    bool operator==(const RewriteRequest& other) const = default;
};
