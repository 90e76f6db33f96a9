#include "app/AppcastFeed.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

const QString AppcastFeed::xmlNamespace = QStringLiteral("https://quillora.app/xml-namespaces/appcast");

namespace {

// A link from the feed is opened in the user's browser: nothing but the web.
QUrl safeLink(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    if (url.scheme() == QLatin1String("https"))
        return url;
    if (url.scheme() == QLatin1String("http")) {
        const QHostAddress address(url.host());
        if ((!address.isNull() && address.isLoopback()) || url.host() == QLatin1String("localhost"))
            return url;
    }
    return {};
}

QList<qint64> versionParts(const QString& version) {
    static const QRegularExpression separators(QStringLiteral("[.\\-+_ ]"));
    QList<qint64> parts;
    for (const QString& part : version.trimmed().split(separators, Qt::SkipEmptyParts)) {
        qsizetype digits = 0;
        while (digits < part.size() && digits < 15 && part.at(digits).isDigit())
            ++digits;
        parts.append(digits == 0 ? 0 : part.left(digits).toLongLong());
    }
    while (!parts.isEmpty() && parts.last() == 0)
        parts.removeLast();
    return parts;
}

} // namespace

int AppcastFeed::compareVersions(const QString& a, const QString& b) {
    const QList<qint64> left = versionParts(a);
    const QList<qint64> right = versionParts(b);
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qint64 l = left.value(i, 0);
        const qint64 r = right.value(i, 0);
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

std::optional<QList<AppcastItem>> AppcastFeed::parse(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    QList<AppcastItem> items;
    bool sawChannel = false;
    std::optional<AppcastItem> item;
    QString enclosureUrl;

    if (!reader.readNextStartElement() || reader.name() != QLatin1String("rss"))
        return std::nullopt;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const auto name = reader.name();
            const bool ours = reader.namespaceUri() == xmlNamespace;
            const bool plain = reader.namespaceUri().isEmpty();
            if (plain && name == QLatin1String("channel")) {
                sawChannel = true;
            } else if (plain && name == QLatin1String("item") && sawChannel) {
                item = AppcastItem{};
                enclosureUrl.clear();
            } else if (item && plain && name == QLatin1String("title")) {
                item->title = reader.readElementText().trimmed();
            } else if (item && plain && name == QLatin1String("link")) {
                item->downloadUrl = safeLink(reader.readElementText());
            } else if (item && plain && name == QLatin1String("enclosure")) {
                enclosureUrl = reader.attributes().value(QStringLiteral("url")).toString();
                const auto version = reader.attributes().value(xmlNamespace, QStringLiteral("version"));
                if (!version.isEmpty() && item->version.isEmpty())
                    item->version = version.toString().trimmed();
            } else if (item && ours && name == QLatin1String("version")) {
                item->version = reader.readElementText().trimmed();
            } else if (item && ours && name == QLatin1String("shortVersionString")) {
                item->shortVersionString = reader.readElementText().trimmed();
            } else if (item && ours && name == QLatin1String("releaseNotesLink")) {
                item->releaseNotesLink = safeLink(reader.readElementText());
            }
        } else if (token == QXmlStreamReader::EndElement && item && reader.name() == QLatin1String("item")) {
            if (item->downloadUrl.isEmpty())
                item->downloadUrl = safeLink(enclosureUrl);
            if (!item->version.isEmpty() && item->version.at(0).isDigit() && !item->downloadUrl.isEmpty())
                items.append(*item);
            item.reset();
        }
    }
    if (reader.hasError() || !sawChannel)
        return std::nullopt;
    return items;
}

std::optional<AppcastItem> AppcastFeed::newestUpdate(const QList<AppcastItem>& items,
                                                     const QString& currentVersion) {
    std::optional<AppcastItem> newest;
    for (const AppcastItem& candidate : items) {
        if (compareVersions(candidate.version, currentVersion) <= 0)
            continue;
        if (!newest || compareVersions(candidate.version, newest->version) > 0)
            newest = candidate;
    }
    return newest;
}
