#include "app/AppcastFeed.h"

#include "platform/HostAddress.h"

#include <QStringList>
#include <QXmlStreamReader>

const QString AppcastFeed::xmlNamespace = QStringLiteral("https://quillora.app/xml-namespaces/appcast");

namespace {

// A link from the feed is opened in the user's browser: nothing but the web. Plain http to this machine
// reaches a site served from this machine (the local stand-in); only a feed served from this machine
// too may send the browser there, never one from the web.
QUrl safeLink(const QString& text, bool localFeed) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    if (url.scheme() == QLatin1String("https"))
        return url;
    if (url.scheme() == QLatin1String("http") && localFeed && isLoopbackHost(url.host()))
        return url;
    return {};
}

// A version as release numbers and pre-release identifiers: 1.0.2-beta.3 is {1, 0, 2} and {beta, 3}.
// Numbers stay digit strings without leading zeros, so that no length overflows.
struct VersionParts {
    QStringList release;
    QStringList preRelease;
};

bool isNumber(QStringView identifier) {
    return !identifier.isEmpty() && identifier.front().isDigit();
}

QString withoutLeadingZeros(QStringView digits) {
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits = digits.mid(1);
    return digits.toString();
}

VersionParts versionParts(const QString& text) {
    QStringView version = QStringView(text).trimmed();
    // Build metadata ("+build.5") does not order versions.
    if (const qsizetype plus = version.indexOf(QLatin1Char('+')); plus >= 0)
        version = version.left(plus);
    VersionParts parts;
    qsizetype i = 0;
    while (i < version.size() && version.at(i).isDigit()) {
        const qsizetype start = i;
        while (i < version.size() && version.at(i).isDigit())
            ++i;
        parts.release.append(withoutLeadingZeros(version.mid(start, i - start)));
        if (i + 1 < version.size() && version.at(i) == QLatin1Char('.') && version.at(i + 1).isDigit())
            ++i;
        else
            break;
    }
    while (!parts.release.isEmpty() && parts.release.last() == QLatin1String("0"))
        parts.release.removeLast();
    // The rest names a pre-release: words and numbers, split at separators and where letters meet digits
    // ("rc1" is {rc, 1}, like "rc.1").
    QString identifier;
    auto flush = [&] {
        if (!identifier.isEmpty())
            parts.preRelease.append(isNumber(identifier) ? withoutLeadingZeros(identifier) : identifier);
        identifier.clear();
    };
    for (const QChar c : version.mid(i)) {
        if (!c.isLetterOrNumber()) {
            flush();
            continue;
        }
        if (!identifier.isEmpty() && isNumber(identifier) != c.isDigit())
            flush();
        identifier += c;
    }
    flush();
    return parts;
}

int sign(qsizetype value) {
    return (value > 0) - (value < 0);
}

int compareNumbers(const QString& a, const QString& b) {
    return a.size() != b.size() ? sign(a.size() - b.size()) : sign(a.compare(b));
}

// Numbers rank below words; words compare alphabetically (alpha < beta < rc).
int compareIdentifiers(const QString& a, const QString& b) {
    const bool numberA = isNumber(a);
    if (numberA != isNumber(b))
        return numberA ? -1 : 1;
    return numberA ? compareNumbers(a, b) : sign(a.compare(b, Qt::CaseInsensitive));
}

// The reader spends time growing with the square of one element's attributes, and a feed needs neither
// thousands of attributes nor of elements: such a document is refused before it is read.
constexpr int maximumAttributesPerElement = 64;
constexpr int maximumElements = 20000;

AppcastFeed::Refusal readingLimitsExceeded(QByteArrayView xml) {
    auto skipPast = [xml](qsizetype from, QByteArrayView terminator) {
        const qsizetype found = xml.indexOf(terminator, from);
        return found < 0 ? xml.size() : found + terminator.size();
    };
    int elements = 0;
    qsizetype i = 0;
    while ((i = xml.indexOf('<', i)) >= 0) {
        const QByteArrayView tag = xml.sliced(++i);
        if (tag.startsWith("!--")) {
            i = skipPast(i, "-->");
            continue;
        }
        if (tag.startsWith("![CDATA[")) {
            i = skipPast(i, "]]>");
            continue;
        }
        if (tag.startsWith('?')) {
            i = skipPast(i, "?>");
            continue;
        }
        if (!tag.startsWith('/') && !tag.startsWith('!') && ++elements > maximumElements)
            return AppcastFeed::Refusal::TooLarge;
        int attributes = 0;
        char quote = 0;
        for (; i < xml.size(); ++i) {
            const char c = xml.at(i);
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                if (++attributes > maximumAttributesPerElement)
                    return AppcastFeed::Refusal::Malformed;
            } else if (c == '>') {
                ++i;
                break;
            }
        }
    }
    return AppcastFeed::Refusal::None;
}

} // namespace

int AppcastFeed::compareVersions(const QString& a, const QString& b) {
    const VersionParts left = versionParts(a);
    const VersionParts right = versionParts(b);
    const QString zero = QStringLiteral("0");
    for (qsizetype i = 0; i < std::max(left.release.size(), right.release.size()); ++i) {
        if (const int order = compareNumbers(left.release.value(i, zero), right.release.value(i, zero)))
            return order;
    }
    // A pre-release comes before its release.
    if (left.preRelease.isEmpty() || right.preRelease.isEmpty())
        return int(left.preRelease.isEmpty()) - int(right.preRelease.isEmpty());
    for (qsizetype i = 0; i < std::min(left.preRelease.size(), right.preRelease.size()); ++i) {
        if (const int order = compareIdentifiers(left.preRelease.at(i), right.preRelease.at(i)))
            return order;
    }
    return sign(left.preRelease.size() - right.preRelease.size());
}

std::optional<QList<AppcastItem>> AppcastFeed::parse(const QByteArray& xml, const QUrl& feedUrl,
                                                     Refusal* refusal) {
    Refusal refused = readingLimitsExceeded(xml);
    const auto finish = [&](std::optional<QList<AppcastItem>> items) {
        if (refusal)
            *refusal = items ? Refusal::None : refused;
        return items;
    };
    if (refused != Refusal::None)
        return finish(std::nullopt);
    refused = Refusal::Malformed;
    const bool localFeed = feedUrl.isValid() && isLoopbackHost(feedUrl.host());
    QXmlStreamReader reader(xml);
    QList<AppcastItem> items;
    bool sawChannel = false;
    std::optional<AppcastItem> item;
    QString enclosureUrl;

    if (!reader.readNextStartElement() || reader.name() != QLatin1String("rss"))
        return finish(std::nullopt);
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
                item->downloadUrl = safeLink(reader.readElementText(), localFeed);
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
                item->releaseNotesLink = safeLink(reader.readElementText(), localFeed);
            }
        } else if (token == QXmlStreamReader::EndElement && item && reader.name() == QLatin1String("item")) {
            if (item->downloadUrl.isEmpty())
                item->downloadUrl = safeLink(enclosureUrl, localFeed);
            if (!item->version.isEmpty() && item->version.at(0).isDigit())
                items.append(*item);
            item.reset();
        }
    }
    if (reader.hasError() || !sawChannel)
        return finish(std::nullopt);
    return finish(items);
}

std::optional<AppcastItem> AppcastFeed::newestUpdate(const QList<AppcastItem>& items,
                                                     const QString& currentVersion) {
    QList<AppcastItem> offered;
    for (const AppcastItem& item : items) {
        if (!item.downloadUrl.isEmpty())
            offered.append(item);
    }
    return newestAnnounced(offered, currentVersion);
}

std::optional<AppcastItem> AppcastFeed::newestAnnounced(const QList<AppcastItem>& items,
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
