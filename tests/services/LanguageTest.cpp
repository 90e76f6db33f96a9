#include "services/Language.h"

#include "services/SystemLanguage.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(LanguageTable, HasAutomaticFirstThenTheLanguagesInOrderWithUniqueCodes) {
    const QList<Language>& all = Language::allLanguages();
    ASSERT_EQ(all.size(), 105);
    EXPECT_EQ(all.first().name, "Automatic");
    EXPECT_EQ(all.first().code, "auto");
    EXPECT_EQ(all.at(1).name, "Afrikaans");
    EXPECT_EQ(all.at(15).code, "zh-cn");
    EXPECT_EQ(all.at(16).code, "zh-tw");
    EXPECT_EQ(all.last().name, "Zulu");

    QSet<QString> codes;
    QSet<QUuid> ids;
    int automatic = 0;
    for (const Language& language : all) {
        codes.insert(language.code);
        ids.insert(language.id);
        automatic += language.code == "auto";
    }
    EXPECT_EQ(codes.size(), 105);
    EXPECT_EQ(ids.size(), 105);
    EXPECT_EQ(automatic, 1);
    for (const char* legacy : {"iw", "jw", "tl", "ceb", "haw", "hmn", "no", "ku"})
        EXPECT_TRUE(codes.contains(QString::fromLatin1(legacy))) << legacy;
    for (qsizetype i = 2; i < all.size(); ++i)
        EXPECT_LT(all.at(i - 1).name, all.at(i).name);
    EXPECT_EQ(&Language::allLanguages(), &all) << "built once";
}

TEST(LanguageTable, FindMatchesCodesExactlyAndFallsBackToAutomatic) {
    EXPECT_EQ(Language::find("tr").name, "Turkish");
    EXPECT_EQ(Language::find("iw").name, "Hebrew");
    EXPECT_EQ(Language::find("zh-tw").name, "Chinese Traditional");
    for (const char* unknown : {"ENG", "zh", " ", "", "TR", "he"}) {
        const Language found = Language::find(QString::fromUtf8(unknown));
        EXPECT_EQ(found.code, "auto") << unknown;
        EXPECT_EQ(found.name, "Automatic") << unknown;
    }
    EXPECT_EQ(Language::find("auto").name, "Automatic");
    // The same entry each time, id included.
    EXPECT_EQ(Language::find("de").id, Language::find("de").id);
}

TEST(LanguageTable, TargetLookupNeverGivesAutomatic) {
    EXPECT_EQ(Language::findTarget("de").code, "de");
    EXPECT_EQ(Language::findTarget("auto").code, "en");
    EXPECT_EQ(Language::findTarget("zh").code, "en");
    EXPECT_EQ(Language::findTarget("").code, "en");
    EXPECT_EQ(Language::findTarget("English").code, "en");
}

TEST(LanguageTable, EqualityAndHashingUseTheCodeAlone) {
    const Language a{QUuid::createUuid(), "Turkish", "tr"};
    const Language b{QUuid::createUuid(), "Türkçe", "tr"};
    const Language c{a.id, "Turkish", "en"};
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(qHash(a), qHash(b));
    QSet<Language> set{a, b, c};
    EXPECT_EQ(set.size(), 2);
    EXPECT_EQ(std::hash<Language>()(a), std::hash<Language>()(b));
}

TEST(SystemLanguage, MapsLocalesOntoTheTablesCodes) {
    const std::pair<const char*, const char*> cases[] = {
        {"en_US", "en"},    {"de-DE", "de"},    {"tr_TR", "tr"},      {"he_IL", "iw"},
        {"he", "iw"},       {"zh", "zh-cn"},    {"zh_CN", "zh-cn"},   {"zh-Hans", "zh-cn"},
        {"zh_TW", "zh-tw"}, {"zh_HK", "zh-tw"}, {"zh-Hant", "zh-tw"}, {"fil_PH", "tl"},
        {"jv", "jw"},       {"nb_NO", "no"},    {"nn-NO", "no"},      {"pt_BR", "pt"},
        {"C", "en"},        {"", "en"},         {"xx_YY", "en"},      {"fo_FO", "en"},
    };
    for (const auto& [locale, code] : cases)
        EXPECT_EQ(languageCodeForLocaleName(QString::fromLatin1(locale)), QString::fromLatin1(code))
            << locale;
}

TEST(SystemLanguage, IsAlwaysARealTargetEntry) {
    const QString code = systemLanguageCode();
    EXPECT_FALSE(Language::find(code).isAutomatic()) << qPrintable(code);
    EXPECT_EQ(systemLanguageCode(), code);
}
