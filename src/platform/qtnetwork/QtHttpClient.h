#pragma once

#include "platform/HttpClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

// A transfer carried by a Qt network reply, which it owns.
class QtHttpTransfer : public HttpTransfer {
    Q_OBJECT
public:
    QtHttpTransfer(QNetworkReply* reply, qint64 maximumBytes, QObject* parent);

    void abort() override;
    Failure failure() const override;
    std::optional<int> status() const override;
    QString reasonPhrase() const override;
    QString errorString() const override;
    QByteArray readAll() override;

private:
    void take();

    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    qint64 m_maximumBytes = 0;
    bool m_tooLarge = false;
};

class QtHttpClient : public HttpClient {
    Q_OBJECT
public:
    explicit QtHttpClient(QObject* parent = nullptr);
    ~QtHttpClient() override;
    HttpTransfer* send(const HttpRequest& request) override;

private:
    QNetworkAccessManager m_network;
};
