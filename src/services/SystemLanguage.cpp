#include "services/SystemLanguage.h"

#include "services/Language.h"

#include <QLocale>
#include <QStringList>

QString languageCodeForLocaleName(const QString& localeName) {
    const QString name = localeName.trimmed();
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return Language::englishCode;
    const QLocale locale(name);
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return Language::englishCode;

    QString code;
    switch (locale.language()) {
    case QLocale::Chinese: {
        const bool traditional =
            locale.script() == QLocale::TraditionalHanScript || locale.territory() == QLocale::Taiwan ||
            locale.territory() == QLocale::HongKong || locale.territory() == QLocale::Macao;
        code = traditional ? QStringLiteral("zh-tw") : QStringLiteral("zh-cn");
        break;
    }
    case QLocale::Hebrew:
        code = QStringLiteral("iw");
        break;
    case QLocale::Filipino:
        code = QStringLiteral("tl");
        break;
    case QLocale::Javanese:
        code = QStringLiteral("jw");
        break;
    case QLocale::NorwegianBokmal:
    case QLocale::NorwegianNynorsk:
        code = QStringLiteral("no");
        break;
    default:
        code = QLocale::languageToCode(locale.language(), QLocale::ISO639Part1);
        break;
    }
    if (code.isEmpty() || Language::find(code).isAutomatic())
        return Language::englishCode;
    return code;
}

QString systemLanguageCode() {
    static const QString code = [] {
        const QStringList preferred = QLocale::system().uiLanguages();
        return languageCodeForLocaleName(preferred.isEmpty() ? QLocale::system().name() : preferred.first());
    }();
    return code;
}
