#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// One release of the update feed.
struct AppcastItem {
    QString title;
    // Compared with the running version (dotted numbers, "1.2.10").
    QString version;
    // Shown to the user; the version when the feed gives none.
    QString shortVersionString;
    QUrl releaseNotesLink;
    // The page the user downloads the release from.
    QUrl downloadUrl;

    QString displayVersion() const { return shortVersionString.isEmpty() ? version : shortVersionString; }
};

// The update feed: an RSS 2.0 channel whose items carry, in the namespace `AppcastFeed::xmlNamespace`,
// <version>, <shortVersionString> and <releaseNotesLink>, and the download page in <link> (or the
// url of an <enclosure>). The version may also be an attribute of the enclosure.
class AppcastFeed {
public:
    static const QString xmlNamespace;

    // The items that name a version and a download page (https, or http to a loopback address); none
    // when the document is not a well-formed RSS channel.
    static std::optional<QList<AppcastItem>> parse(const QByteArray& xml);

    // <0, 0 or >0 as `a` is older than, the same as or newer than `b`. Missing parts count as 0
    // ("1.0" == "1.0.0"); a part's leading digits are its number.
    static int compareVersions(const QString& a, const QString& b);

    // The newest item of `items` that is newer than `currentVersion`, if any.
    static std::optional<AppcastItem> newestUpdate(const QList<AppcastItem>& items,
                                                   const QString& currentVersion);
};
