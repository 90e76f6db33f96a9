#include "StandInAppcast.h"

#include <QHttpServerRequest>
#include <QTcpSocket>

namespace {

void writeDocument(QTcpSocket* socket, int status, const QByteArray& type, const QByteArray& body) {
    socket->write("HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Not Found") +
                  "\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                  "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

} // namespace

StandInAppcast::StandInAppcast(QString version)
    : m_version(std::move(version)) {}

bool StandInAppcast::configure(const QJsonObject& command) {
    if (!command.contains(QStringLiteral("version")) && !command.contains(QStringLiteral("malformed")) &&
        !command.contains(QStringLiteral("hang")))
        return false;
    const QString version = command.value(QStringLiteral("version")).toString();
    if (!version.isEmpty())
        m_version = version;
    m_malformed = command.value(QStringLiteral("malformed")).toBool();
    m_hang = command.value(QStringLiteral("hang")).toBool();
    return true;
}

QByteArray StandInAppcast::document(const QString& base) const {
    if (m_malformed)
        return QByteArrayLiteral("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><item><title>broken");
    // %1: the version, %2: the site.
    static const QString feed = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<rss version=\"2.0\" xmlns:quillora=\"https://quillora.app/xml-namespaces/appcast\">\n"
        "  <channel>\n"
        "    <title>Quillora</title>\n"
        "    <item>\n"
        "      <title>Quillora %1</title>\n"
        "      <quillora:version>%1</quillora:version>\n"
        "      <quillora:shortVersionString>%1</quillora:shortVersionString>\n"
        "      <quillora:releaseNotesLink>%2/releases/%1</quillora:releaseNotesLink>\n"
        "      <link>%2/download</link>\n"
        "      <enclosure url=\"%2/downloads/Quillora-%1.tar.gz\" type=\"application/gzip\" length=\"0\"/>\n"
        "    </item>\n"
        "  </channel>\n"
        "</rss>\n");
    return feed.arg(m_version.toHtmlEscaped(), base.toHtmlEscaped()).toUtf8();
}

bool StandInAppcast::handle(const QHttpServerRequest& request, QTcpSocket* socket) const {
    if (request.method() != QHttpServerRequest::Method::Get)
        return false;
    const QString path = request.url().path();
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(socket->localPort());
    if (path == QLatin1String("/downloads/appcast.xml")) {
        // The connection stays open, unanswered, until the client gives up.
        if (m_hang)
            return true;
        writeDocument(socket, 200, "application/rss+xml; charset=utf-8", document(base));
        return true;
    }
    if (path == QLatin1String("/download") || path.startsWith(QLatin1String("/releases/"))) {
        const QByteArray page = "<!doctype html><title>Quillora</title><p>Quillora " +
                                m_version.toHtmlEscaped().toUtf8() +
                                " (local stand-in of the web site: nothing to download here).</p>\n";
        writeDocument(socket, 200, "text/html; charset=utf-8", page);
        return true;
    }
    return false;
}
