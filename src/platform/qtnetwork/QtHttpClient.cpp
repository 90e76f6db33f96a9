#include "platform/qtnetwork/QtHttpClient.h"

#include <QNetworkRequest>

QtHttpTransfer::QtHttpTransfer(QNetworkReply* reply, QObject* parent)
    : HttpTransfer(parent)
    , m_reply(reply) {
    reply->setParent(this);
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this](qint64 received, qint64) { Q_EMIT downloadProgress(received); });
    connect(reply, &QNetworkReply::finished, this, &HttpTransfer::finished);
}

void QtHttpTransfer::abort() {
    if (m_reply)
        m_reply->abort();
}

HttpTransfer::Failure QtHttpTransfer::failure() const {
    const QNetworkReply::NetworkError error = m_reply ? m_reply->error() : QNetworkReply::OperationCanceledError;
    const int code = int(error);
    if (error == QNetworkReply::NoError)
        return Failure::None;
    if (error == QNetworkReply::OperationCanceledError)
        return Failure::Aborted;
    // Also what Qt reports for a client-error status it has no name for.
    if (error == QNetworkReply::UnknownContentError)
        return Failure::UnusableContent;
    // Content errors (201-299) stand for 4xx answers, server errors (401-499) for 5xx ones.
    if ((code >= 201 && code <= 299) || (code >= 401 && code <= 499))
        return Failure::HttpStatus;
    return Failure::Transport;
}

std::optional<int> QtHttpTransfer::status() const {
    const QVariant status = m_reply ? m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute) : QVariant();
    return status.isValid() ? std::optional<int>(status.toInt()) : std::nullopt;
}

QString QtHttpTransfer::reasonPhrase() const {
    return m_reply ? m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString() : QString();
}

QString QtHttpTransfer::errorString() const {
    return m_reply ? m_reply->errorString() : QString();
}

QByteArray QtHttpTransfer::readAll() {
    return m_reply ? m_reply->readAll() : QByteArray();
}

QtHttpClient::QtHttpClient(QObject* parent)
    : HttpClient(parent) {}

// Replies go before their manager, whose thread they still talk to.
QtHttpClient::~QtHttpClient() {
    qDeleteAll(findChildren<QtHttpTransfer*>(Qt::FindDirectChildrenOnly));
}

HttpTransfer* QtHttpClient::send(const HttpRequest& request) {
    QNetworkRequest qtRequest(request.url);
    for (const auto& [name, value] : request.headers)
        qtRequest.setRawHeader(name, value);
    qtRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                           request.redirects == HttpRequest::Redirects::Refused
                               ? QNetworkRequest::ManualRedirectPolicy
                               : QNetworkRequest::NoLessSafeRedirectPolicy);
    if (request.transferTimeoutMs > 0)
        qtRequest.setTransferTimeout(request.transferTimeoutMs);
    QNetworkReply* reply = request.method == HttpRequest::Method::Post ? m_network.post(qtRequest, request.body)
                                                                        : m_network.get(qtRequest);
    return new QtHttpTransfer(reply, this);
}
