#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A loopback HTTP server for answers the stand-in does not give: raw bytes after a delay, a connection
// reset, a hang. Waits for a whole request (headers and Content-Length body) before acting.
class ScriptedHttpServer : public QObject {
public:
    enum class Action { Respond, Hang, Reset };

    Action action = Action::Respond;
    QByteArray response;
    int delayMs = 0;
    int requestCount = 0;
    QByteArray lastRequest;

    bool listen() {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
            }
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    static QByteArray answer(int status, const QByteArray& reason, const QByteArray& body) {
        return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
               "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

private:
    void onData(QTcpSocket* socket) {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        qsizetype length = 0;
        for (const QByteArray& line : buffer.left(headerEnd).split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        if (buffer.size() < headerEnd + 4 + length)
            return;
        lastRequest = buffer;
        buffer.clear();
        ++requestCount;
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(delayMs, this, [this, guard] {
            if (!guard)
                return;
            switch (action) {
            case Action::Respond:
                guard->write(response);
                guard->disconnectFromHost();
                break;
            case Action::Hang:
                break;
            case Action::Reset:
                guard->abort();
                break;
            }
        });
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};
