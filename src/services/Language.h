#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUuid>

// One entry of the language table. Two entries are the same language when their codes match, whatever
// their id and name.
struct Language {
    QUuid id;
    QString name; // English display name, e.g. "Turkish"
    QString code; // the web service's code, e.g. "tr", "zh-cn"; "auto" for "Automatic"

    bool operator==(const Language& other) const { return code == other.code; }

    static inline const QString automaticCode = QStringLiteral("auto");
    static inline const QString englishCode = QStringLiteral("en");

    // "Automatic" first, then 104 languages by English name. Built once.
    static const QList<Language>& allLanguages();
    // The first entry whose code equals `code` exactly; the "Automatic" entry when none does.
    static Language find(const QString& byCode);
    // For a target language: like find(), but never "Automatic": an unknown code or "auto" gives English.
    static Language findTarget(const QString& byCode);
    bool isAutomatic() const { return code == automaticCode; }
};

inline size_t qHash(const Language& language, size_t seed = 0) noexcept {
    return qHash(language.code, seed);
}

template <> struct std::hash<Language> {
    size_t operator()(const Language& language) const noexcept { return qHash(language.code); }
};
