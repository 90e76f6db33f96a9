#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// One release of the update feed.
struct AppcastItem {
    QString title;
    // Compared with the running version: dotted numbers, maybe a pre-release ("1.2.10", "1.3-beta.2").
    QString version;
    // Shown to the user; the version when the feed gives none.
    QString shortVersionString;
    QUrl releaseNotesLink;
    // The page the user downloads the release from; empty when the feed gives none the user may be sent to.
    QUrl downloadUrl;

    QString displayVersion() const { return shortVersionString.isEmpty() ? version : shortVersionString; }
};

// The update feed: an RSS 2.0 channel whose items carry, in the namespace `AppcastFeed::xmlNamespace`,
// <version>, <shortVersionString> and <releaseNotesLink>, and the download page in <link> (or the
// url of an <enclosure>). The version may also be an attribute of the enclosure.
class AppcastFeed {
public:
    static const QString xmlNamespace;

    enum class Refusal { None, Malformed, TooLarge };

    // The items that name a version. Links are kept when https, or http to a loopback address when the
    // feed itself came from one (`feedUrl`, the address asked for), and left empty otherwise. None
    // when the document is not a well-formed RSS channel (Malformed, also for more attributes on one
    // element than any feed needs) or has more elements than any feed needs (TooLarge); `refusal` learns
    // which. Safe on any thread.
    static std::optional<QList<AppcastItem>> parse(const QByteArray& xml, const QUrl& feedUrl = {},
                                                   Refusal* refusal = nullptr);

    // -1, 0 or 1 as `a` is older than, the same as or newer than `b`. Missing numbers count as 0
    // ("1.0" == "1.0.0"). A suffix after the numbers names a pre-release, older than its release and
    // ordered by its words and numbers: 1.0-alpha < 1.0-beta < 1.0-beta.2 < 1.0-rc1 < 1.0 < 1.0.1.
    // Build metadata after "+" is ignored.
    static int compareVersions(const QString& a, const QString& b);

    // The newest item of `items` with a download page that is newer than `currentVersion`, if any.
    static std::optional<AppcastItem> newestUpdate(const QList<AppcastItem>& items,
                                                   const QString& currentVersion);
    // The same among all items, those without a download page too.
    static std::optional<AppcastItem> newestAnnounced(const QList<AppcastItem>& items,
                                                      const QString& currentVersion);
};
