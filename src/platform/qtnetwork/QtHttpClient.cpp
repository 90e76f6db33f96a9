#include "platform/qtnetwork/QtHttpClient.h"

#include <QNetworkRequest>

namespace {

// What Qt may read ahead of take(): it stops reading from the connection while its buffer holds this much.
constexpr qint64 readAheadBytes = 256 * 1024;

} // namespace

QtHttpTransfer::QtHttpTransfer(QNetworkReply* reply, qint64 maximumBytes, QObject* parent)
    : HttpTransfer(parent)
    , m_reply(reply)
    , m_maximumBytes(maximumBytes) {
    reply->setParent(this);
    connect(reply, &QNetworkReply::readyRead, this, &QtHttpTransfer::take);
    connect(reply, &QNetworkReply::finished, this, [this] {
        take();
        Q_EMIT finished();
    });
    if (maximumBytes <= 0)
        return;
    connect(reply, &QNetworkReply::metaDataChanged, this, &QtHttpTransfer::take);
    // A request with a body is handed to Qt's network thread on a later turn, and a buffer size set before
    // then does not reach it: set it again once it has.
    const auto limitReadAhead = [this] {
        if (m_reply && !m_reply->isFinished())
            m_reply->setReadBufferSize(readAheadBytes);
    };
    limitReadAhead();
    QMetaObject::invokeMethod(this, limitReadAhead, Qt::QueuedConnection);
}

// Moves what arrived into the body, so that Qt reads on, and refuses a body that is or will be too large.
void QtHttpTransfer::take() {
    // An aborted reply is closed: nothing more to read.
    if (!m_reply || m_tooLarge || !m_reply->isOpen())
        return;
    const QVariant declared = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (m_maximumBytes <= 0 || !declared.isValid() || declared.toLongLong() <= m_maximumBytes) {
        m_body += m_reply->readAll();
        if (m_maximumBytes <= 0 || m_body.size() <= m_maximumBytes)
            return;
    }
    m_tooLarge = true;
    m_body.clear();
    // Its finished signal, sent from abort(), ends the transfer.
    if (!m_reply->isFinished())
        m_reply->abort();
}

void QtHttpTransfer::abort() {
    if (m_reply)
        m_reply->abort();
}

HttpTransfer::Failure QtHttpTransfer::failure() const {
    const QNetworkReply::NetworkError error = m_reply ? m_reply->error() : QNetworkReply::OperationCanceledError;
    const int code = int(error);
    if (m_tooLarge)
        return Failure::TooLarge;
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
    take();
    return std::exchange(m_body, {});
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
    return new QtHttpTransfer(reply, request.maximumBytes, this);
}
