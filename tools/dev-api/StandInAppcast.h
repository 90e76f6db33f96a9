#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class QHttpServerRequest;
class QTcpSocket;

// The web site's side of the stand-in: the update feed at GET /downloads/appcast.xml (one release, by
// default the app's own version, so the app finds no update) and the pages it links to. Tests change
// the release through POST /admin/appcast {"version": "2.0.0"}, {"malformed": true} or {"hang": true}
// (the feed is never answered).
class StandInAppcast {
public:
    explicit StandInAppcast(QString version);

    // Answers a GET for the feed or one of its pages; false when `request` is not one.
    bool handle(const QHttpServerRequest& request, QTcpSocket* socket) const;
    // The admin command; false when `command` names nothing this knows.
    bool configure(const QJsonObject& command);

    QByteArray document(const QString& base) const;

private:
    QString m_version;
    bool m_malformed = false;
    bool m_hang = false;
};
