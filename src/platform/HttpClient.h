#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>
#include <utility>

struct HttpRequest {
    enum class Method { Get, Post };
    // Refused: a redirect is the answer. NoLessSafe: followed, but never from https to http.
    enum class Redirects { Refused, NoLessSafe };

    Method method = Method::Get;
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    Redirects redirects = Redirects::Refused;
    // Aborted after this long without data; 0: never.
    int transferTimeoutMs = 0;
    // The largest answer body taken in; a larger one fails as TooLarge as soon as it shows (its declared
    // length or the data arrived), with no more than about this much held. 0: no limit.
    qint64 maximumBytes = 0;
};

// One request under way. Its outcome is known once `finished` was sent, which happens exactly once, also
// after abort() (then synchronously).
class HttpTransfer : public QObject {
    Q_OBJECT
public:
    enum class Failure {
        None,
        // The server answered with an error status.
        HttpStatus,
        // The answer arrived, but its content could not be used (an unknown content coding and the like).
        UnusableContent,
        // abort() or the transfer time-out.
        Aborted,
        // The answer's body was larger than the request's maximumBytes.
        TooLarge,
        // Connection, name lookup, TLS, proxy or protocol.
        Transport,
    };

    using QObject::QObject;

    virtual void abort() = 0;
    virtual Failure failure() const = 0;
    // The HTTP status, absent when no answer arrived.
    virtual std::optional<int> status() const = 0;
    virtual QString reasonPhrase() const = 0;
    virtual QString errorString() const = 0;
    virtual QByteArray readAll() = 0;

Q_SIGNALS:
    void finished();
};

// Sends HTTP requests; keeps its connections for reuse while it lives. Transfers are its children.
class HttpClient : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual HttpTransfer* send(const HttpRequest& request) = 0;
};
