#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <atomic>

// Answers every request with `head` and then `bodyBytes` bytes of filler, from a thread of its own and as
// fast as the client takes them, as a server on another machine would: the test's event loop does not pace
// it. sent() tells how much the connection took, which is what the client read plus what sits in the
// connection's buffers (a few MB on loopback).
class StreamingHttpServer : public QThread {
public:
    StreamingHttpServer(QByteArray head, qint64 bodyBytes)
        : m_head(std::move(head))
        , m_bodyBytes(bodyBytes) {}
    ~StreamingHttpServer() override {
        requestInterruption();
        wait();
    }

    bool listen() {
        start();
        m_ready.acquire();
        return m_port != 0;
    }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port.load()); }
    // Answers over, their connection closed by either side.
    int answered() const { return m_answered; }
    // Of the last answer.
    qint64 sent() const { return m_sent; }

protected:
    void run() override {
        QTcpServer server;
        if (server.listen(QHostAddress::LocalHost, 0))
            m_port = server.serverPort();
        m_ready.release();
        while (m_port != 0 && !isInterruptionRequested()) {
            if (!server.waitForNewConnection(50))
                continue;
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                serve(*socket);
                delete socket;
                ++m_answered;
            }
        }
    }

private:
    void serve(QTcpSocket& socket) {
        QByteArray request;
        while (!request.contains("\r\n\r\n") && !isInterruptionRequested()) {
            if (socket.waitForReadyRead(50))
                request += socket.readAll();
            else if (socket.state() != QAbstractSocket::ConnectedState)
                return;
        }
        constexpr qint64 slice = 256 * 1024;
        const QByteArray filler(slice, ' ');
        qint64 queued = socket.write(m_head);
        qint64 left = m_bodyBytes;
        m_sent = 0;
        while (!isInterruptionRequested() && socket.state() == QAbstractSocket::ConnectedState) {
            if (left > 0 && socket.bytesToWrite() < slice) {
                const qint64 size = std::min(slice, left);
                queued += socket.write(filler.constData(), size);
                left -= size;
            }
            socket.waitForBytesWritten(50);
            m_sent = queued - socket.bytesToWrite() - m_head.size();
            if (left == 0 && socket.bytesToWrite() == 0) {
                socket.disconnectFromHost();
                break;
            }
        }
    }

    const QByteArray m_head;
    const qint64 m_bodyBytes;
    QSemaphore m_ready;
    std::atomic<quint16> m_port = 0;
    std::atomic<qint64> m_sent = 0;
    std::atomic<int> m_answered = 0;
};
