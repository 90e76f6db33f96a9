#include "TestUtils.h"
#include "menubar/history/FavoritesManager.h"
#include "menubar/history/HistoryManager.h"
#include "platform/JsonNesting.h"
#include "platform/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kHistory = QStringLiteral("translationHistory");
const QString kFavorites = QStringLiteral("favoriteTranslations");

Language lang(const char* code) {
    return Language::find(QString::fromLatin1(code));
}

TranslationHistoryItem record(const QString& source, const QString& translated, const char* from = "en",
                              const char* to = "tr",
                              TranslationService service = TranslationService::Google) {
    return TranslationHistoryItem::make(source, translated, lang(from), lang(to), service);
}

QJsonArray storedArray(const QString& key) {
    return QJsonDocument::fromJson(UserDefaults::standard().data(key)).array();
}

QStringList sources(const QList<TranslationHistoryItem>& items) {
    QStringList result;
    for (const auto& item : items)
        result << item.sourceText;
    return result;
}

QStringList backupKeys(const QString& key) {
    QStringList keys;
    // As stored on disk.
    UserDefaults::standard().waitForWrites();
    for (const QString& k : UserDefaults(UserDefaults::standard().filePath()).allKeys()) {
        if (k.startsWith(key + QStringLiteral(".unreadable-")))
            keys << k;
    }
    return keys;
}

const char* kGoodRecord =
    R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","sourceText":"book","translatedText":"kitap",
    "sourceLanguageCode":"en","targetLanguageCode":"tr","serviceRawValue":"deepl","date":786000000.25})";

} // namespace

TEST(HistoryStore, KeepsTwentyNewestWithoutDuplicatePairs) {
    HistoryManager history;
    EXPECT_TRUE(history.translations().isEmpty());
    EXPECT_FALSE(UserDefaults::standard().contains(kHistory))
        << "nothing is written before the first addition";

    history.addTranslation("book", "kitap", lang("en"), lang("tr"), TranslationService::Google);
    history.addTranslation("pen", "kalem", lang("en"), lang("tr"), TranslationService::Google);
    const QUuid firstBookId = history.translations().at(1).id;
    // Same pair with other languages and provider: the newer record replaces the older one at the front.
    history.addTranslation("book", "kitap", lang("auto"), lang("de"), TranslationService::DeepL);
    ASSERT_EQ(sources(history.translations()), QStringList({"book", "pen"}));
    EXPECT_NE(history.translations().at(0).id, firstBookId);
    EXPECT_EQ(history.translations().at(0).service, TranslationService::DeepL);
    EXPECT_EQ(history.translations().at(0).targetLanguage.code, "de");

    // Canonically equivalent texts are the same pair; case and surrounding space are not.
    history.addTranslation(QString::fromUtf8("cafe\u0301"), "kahve", lang("fr"), lang("tr"),
                           TranslationService::Google);
    history.addTranslation(QString::fromUtf8("caf\u00e9"), "kahve", lang("fr"), lang("tr"),
                           TranslationService::Google);
    history.addTranslation("Book", "kitap", lang("en"), lang("tr"), TranslationService::Google);
    history.addTranslation("book ", "kitap", lang("en"), lang("tr"), TranslationService::Google);
    EXPECT_EQ(history.translations().size(), 5);

    for (int i = 0; i < 20; ++i)
        history.addTranslation(QStringLiteral("text %1").arg(i), "x", lang("en"), lang("tr"),
                               TranslationService::Google);
    ASSERT_EQ(history.translations().size(), 20);
    EXPECT_EQ(history.translations().front().sourceText, "text 19");
    EXPECT_EQ(history.translations().back().sourceText, "text 0");
    EXPECT_EQ(storedArray(kHistory).size(), 20);

    history.clearHistory();
    EXPECT_TRUE(history.translations().isEmpty());
    EXPECT_EQ(UserDefaults::standard().data(kHistory), "[]");
}

// A list longer than the history keeps (another program's) loads whole and loses one record per
// addition. The application's store reads it beside the UI thread: a translation made meanwhile does not
// wait for it and is recorded once it is there, or at the application's quit should that come first; a
// clearing meanwhile waits for it, so that the list arriving after does not bring the records back.
TEST(HistoryStore, LongerStoredListLoadsWholeAndShrinksByOnePerAddition) {
    QJsonArray array;
    QStringList expected = {"old 3", "new"};
    for (int i = 0; i < 25; ++i) {
        QJsonObject object = QJsonDocument::fromJson(kGoodRecord).object();
        object["id"] = QUuid::createUuid().toString(QUuid::WithoutBraces);
        object["sourceText"] = QStringLiteral("old %1").arg(i);
        array.append(object);
        if (i != 3 && i < 23)
            expected << QStringLiteral("old %1").arg(i);
    }
    enum class Read { AtOnce, InBackground, UntilTheQuit, UntilAClearing };
    for (const auto& [read, name] :
         {std::pair{Read::AtOnce, "read at once"}, std::pair{Read::InBackground, "read in the background"},
          std::pair{Read::UntilTheQuit, "read still at the quit"},
          std::pair{Read::UntilAClearing, "read still at a clearing"}}) {
        SCOPED_TRACE(name);
        UserDefaults::standard().resetForTesting();
        QJsonArray list = array;
        if (read == Read::UntilTheQuit || read == Read::UntilAClearing) {
            // Long enough to be read still, and dropped by the additions.
            QJsonObject last = list.last().toObject();
            last["translatedText"] = QString(4000000, QLatin1Char('x'));
            list.replace(24, last);
        }
        UserDefaults::standard().setText(kHistory,
                                         LazyText::of(QJsonDocument(list).toJson(QJsonDocument::Compact)));
        const bool background = read != Read::AtOnce;
        const auto history = background ? std::make_unique<HistoryManager>(HistoryManager::LoadInBackground{})
                                        : std::make_unique<HistoryManager>();
        QSignalSpy changes(history.get(), &HistoryManager::translationsChanged);
        EXPECT_EQ(history->isLoading(), background);
        EXPECT_EQ(history->model()->rowCount(), background ? 0 : 25);
        history->addTranslation("new", "yeni", lang("en"), lang("tr"), TranslationService::Google);
        // Held already: moved to the front (and the list, still too long, loses one more).
        history->addTranslation("old 3", "kitap", lang("en"), lang("tr"), TranslationService::Google);
        EXPECT_EQ(history->isLoading(), background) << "the translations did not wait for the list";
        if (read == Read::InBackground) {
            ASSERT_TRUE(changes.wait(10000));
        } else if (read == Read::UntilTheQuit) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
        }
        if (read == Read::UntilAClearing) {
            history->clearHistory();
            EXPECT_TRUE(waitUntil([&] { return !history->isLoading(); }));
        }
        if (background) {
            EXPECT_EQ(changes.count(), read == Read::UntilAClearing ? 2 : 1);
        }
        EXPECT_FALSE(history->isLoading());
        const QStringList kept = read == Read::UntilAClearing ? QStringList() : expected;
        EXPECT_EQ(sources(history->model()->items()), kept);
        QStringList stored;
        for (const QJsonValue& value : storedArray(kHistory))
            stored << value.toObject()["sourceText"].toString();
        EXPECT_EQ(stored, kept);
    }
}

TEST(HistoryStore, StoredFormIsReadBackByAFreshStore) {
    {
        HistoryManager history;
        history.addTranslation("hello", QString::fromUtf8("merhaba dünya"), lang("auto"), lang("tr"),
                               TranslationService::ChatGPT);
        history.addTranslation("two", "iki", lang("zh-cn"), lang("en"), TranslationService::Gemini);
    }
    const QByteArray bytes = UserDefaults::standard().data(kHistory);
    EXPECT_FALSE(bytes.contains('\n')) << "compact JSON";
    const QJsonArray array = QJsonDocument::fromJson(bytes).array();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject newest = array.at(0).toObject();
    EXPECT_EQ(newest.keys(), QStringList({"date", "id", "serviceRawValue", "sourceLanguageCode", "sourceText",
                                          "targetLanguageCode", "translatedText"}));
    const QString id = newest["id"].toString();
    EXPECT_EQ(id.size(), 36);
    EXPECT_EQ(id, id.toUpper());
    EXPECT_EQ(newest["sourceLanguageCode"].toString(), "zh-cn");
    EXPECT_EQ(newest["serviceRawValue"].toString(), "gemini");
    const double now =
        double(QDateTime::currentSecsSinceEpoch() - TranslationHistoryItem::referenceDateOffset);
    EXPECT_NEAR(newest["date"].toDouble(), now, 5.0) << "seconds since 2001-01-01";

    HistoryManager fresh;
    ASSERT_EQ(fresh.translations().size(), 2);
    const TranslationHistoryItem& older = fresh.translations().at(1);
    EXPECT_EQ(older.translatedText, QString::fromUtf8("merhaba dünya"));
    EXPECT_EQ(older.sourceLanguage.name, "Automatic");
    EXPECT_EQ(older.targetLanguage.code, "tr");
    EXPECT_EQ(older.service, TranslationService::ChatGPT);
    EXPECT_EQ(fresh.translations().at(0).id.toString(QUuid::WithoutBraces).toUpper(), id);
    EXPECT_EQ(fresh.translations().at(0).date, newest["date"].toDouble());

    // Bytes as well as a string are read.
    UserDefaults::standard().set(kFavorites, QByteArray("[") + kGoodRecord + "]");
    FavoritesManager favorites;
    ASSERT_EQ(favorites.favorites().size(), 1);
    EXPECT_EQ(favorites.favorites().at(0).date, 786000000.25);
    favorites.saveFavorites();
    EXPECT_EQ(storedArray(kFavorites).at(0).toObject(), QJsonDocument::fromJson(kGoodRecord).object())
        << "a record read and written again is unchanged";
}

// What survives of a stored value, and whether the stored value was put aside before being replaced.
TEST(HistoryStore, DecodesRecordByRecordAndKeepsUnreadableValuesAside) {
    const QByteArray good = kGoodRecord;
    auto with = [&](const char* key, const QJsonValue& value) {
        QJsonObject object = QJsonDocument::fromJson(good).object();
        if (value.isUndefined())
            object.remove(QString::fromLatin1(key));
        else
            object[QString::fromLatin1(key)] = value;
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    };
    // The record with one more member, arrays nested `depth` deep (the record itself is one level more).
    auto withNested = [&](int depth) {
        return good.chopped(1) + R"(,"extra":)" + QByteArray(depth, '[') + QByteArray(depth, ']') + "}";
    };
    struct Case {
        const char* name;
        QByteArray stored;
        int loaded;
        bool backup;
    };
    const Case cases[] = {
        {"not JSON", "{{nonsense", 0, true},
        {"not an array", good, 0, true},
        {"empty array", "[]", 0, false},
        {"one record without date", "[" + good + "," + with("date", QJsonValue::Undefined) + "," + good + "]",
         2, true},
        {"date as text", "[" + with("date", "786000000") + "," + good + "]", 1, true},
        {"id with braces", "[" + with("id", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}") + "]", 0, true},
        {"id no UUID", "[" + with("id", "book") + "," + good + "]", 1, true},
        {"lower-case id and extra member",
         "[" + with("id", "6f9619ff-8b86-d011-b42d-00c04fc964ff") + "," + with("extra", QJsonArray{1, 2}) +
             "]",
         2, false},
        {"element no object", "[" + good + ",42]", 1, true},
        {"member nested as deep as readable", "[" + withNested(1022) + "]", 1, false},
        {"member nested too deep", "[" + withNested(1023) + "," + good + "]", 0, true},
        {"nested two million deep", QByteArray(2000000, '[') + QByteArray(2000000, ']'), 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults::standard().resetForTesting();
        UserDefaults::standard().set(kFavorites, QString::fromUtf8(c.stored));
        FavoritesManager favorites;
        EXPECT_EQ(favorites.favorites().size(), c.loaded);
        // Started again with the same damaged value: the copy already kept is not made twice.
        { FavoritesManager restarted; }
        const QStringList backups = backupKeys(kFavorites);
        ASSERT_EQ(backups.size(), c.backup ? 1 : 0);
        favorites.addFavorite(record("new", "yeni"));
        EXPECT_EQ(storedArray(kFavorites).size(), c.loaded + 1) << "every record that decoded is kept";
        if (c.backup) {
            EXPECT_EQ(UserDefaults::standard().data(backups.front()), c.stored)
                << "the original is kept aside";
        }

        // The history, opened over the same value, reads it alike.
        UserDefaults::standard().set(kHistory, QString::fromUtf8(c.stored));
        HistoryManager history;
        EXPECT_EQ(history.translations().size(), c.loaded);
        EXPECT_EQ(backupKeys(kHistory).size(), c.backup ? 1 : 0);
    }
}

TEST(HistoryStore, UnknownCodesAndServicesDecodeToUsableValues) {
    QJsonObject object = QJsonDocument::fromJson(kGoodRecord).object();
    struct Case {
        const char* source;
        const char* target;
        const char* service;
        const char* wantSource;
        const char* wantTarget;
        TranslationService wantService;
    };
    const Case cases[] = {
        {"xx", "tr", "google", "auto", "tr", TranslationService::Google},
        {"en", "xx", "bing", "en", "en", TranslationService::Google},
        {"auto", "auto", "deepl", "auto", "en", TranslationService::DeepL},
        {"EN", "zh-tw", "Gemini", "auto", "zh-tw", TranslationService::Google},
    };
    for (const Case& c : cases) {
        object["sourceLanguageCode"] = c.source;
        object["targetLanguageCode"] = c.target;
        object["serviceRawValue"] = c.service;
        const auto item = TranslationHistoryItem::fromJson(object);
        ASSERT_TRUE(item.has_value()) << c.source << c.target << c.service;
        EXPECT_EQ(item->sourceLanguage.code, c.wantSource);
        EXPECT_EQ(item->targetLanguage.code, c.wantTarget) << "a target is never Automatic";
        EXPECT_EQ(item->service, c.wantService);
    }
}

TEST(FavoritesStore, SameFavoriteMeansSameTextsUnderCanonicalEquivalence) {
    struct Case {
        QString aSource, aTranslated, bSource, bTranslated;
        bool same;
    };
    const QString composed = QString::fromUtf8("\u00e9t\u00e9");
    const QString decomposed = QString::fromUtf8("e\u0301te\u0301");
    const Case cases[] = {
        {"book", "kitap", "book", "kitap", true},         {composed, "yaz", decomposed, "yaz", true},
        {"summer", composed, "summer", decomposed, true}, {"Book", "kitap", "book", "kitap", false},
        {"book", "kitap ", "book", "kitap", false},       {"book", "kitap", "kitap", "book", false},
    };
    for (const Case& c : cases) {
        UserDefaults::standard().resetForTesting();
        FavoritesManager favorites;
        const auto a = record(c.aSource, c.aTranslated, "en", "tr");
        const auto b = record(c.bSource, c.bTranslated, "auto", "de", TranslationService::DeepL);
        EXPECT_EQ(FavoritesManager::isSameTranslation(a, b), c.same) << c.bSource.toStdString();
        favorites.addFavorite(a);
        EXPECT_EQ(favorites.isFavorite(b), c.same);
        QSignalSpy writes(&UserDefaults::standard(), &UserDefaults::changed);
        EXPECT_EQ(favorites.addFavorite(b), !c.same);
        EXPECT_EQ(writes.count(), c.same ? 0 : 1) << "adding a saved favorite writes nothing";
        EXPECT_EQ(favorites.favorites().size(), c.same ? 1 : 2);
    }
}

TEST(FavoritesStore, AddRemoveAndClearAreWrittenAtOnce) {
    FavoritesManager favorites;
    QSignalSpy changes(&favorites, &FavoritesManager::favoritesChanged);
    const auto a = record("a", "1");
    const auto b = record("b", "2");
    favorites.addFavorite(a);
    favorites.addFavorite(b);
    EXPECT_EQ(sources(favorites.favorites()), QStringList({"b", "a"}));
    EXPECT_EQ(storedArray(kFavorites).at(0).toObject()["sourceText"].toString(), "b");
    EXPECT_EQ(favorites.favorites().at(1).id, a.id) << "the record is kept as given";

    // A stored list with the same pair twice loses both on one removal.
    favorites.addFavorite(record("c", "3"));
    QJsonArray array = storedArray(kFavorites);
    QJsonObject duplicate = array.at(2).toObject();
    duplicate["id"] = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    array.append(duplicate);
    UserDefaults::standard().set(kFavorites, QJsonDocument(array).toJson(QJsonDocument::Compact));
    favorites.loadFavorites();
    ASSERT_EQ(sources(favorites.favorites()), QStringList({"c", "b", "a", "a"}));
    // An addition hands the settings its record alone, which they write without making the list whole.
    UserDefaults::standard().waitForWrites();
    const QByteArray before = UserDefaults::standard().data(kFavorites);
    favorites.addFavorite(record("d", "4"));
    UserDefaults::standard().waitForWrites();
    const auto splices = UserDefaults::standard().text(kFavorites)->splicesSince(nullptr, &before, 5);
    EXPECT_TRUE(splices && splices->size() == 1);
    array.prepend(favorites.favorites().at(0).toJson());
    EXPECT_EQ(storedArray(kFavorites), array);
    favorites.removeFavorite(record("d", "4"));
    favorites.removeFavorite(record("a", "1"));
    EXPECT_EQ(sources(favorites.favorites()), QStringList({"c", "b"}));
    EXPECT_FALSE(favorites.isFavorite(a));
    EXPECT_EQ(storedArray(kFavorites).size(), 2);

    QSignalSpy writes(&UserDefaults::standard(), &UserDefaults::changed);
    favorites.removeFavorite(record("zzz", "0"));
    EXPECT_EQ(writes.count(), 1) << "removing what is not saved still writes";

    favorites.clearFavorites();
    EXPECT_TRUE(favorites.favorites().isEmpty());
    EXPECT_EQ(UserDefaults::standard().data(kFavorites), "[]");
    EXPECT_EQ(changes.count(), 9);
}

// The stores' own JSON reader and writer read and write what QJsonDocument does.
TEST(HistoryStore, ListJsonAgreesWithQJsonDocument) {
    const QString tricky = QString::fromUtf8("quote \" back\\slash /slash\nnew\tline \x01 çay 中文 😀 \u2028");
    auto item = TranslationHistoryItem::make(tricky, QStringLiteral("plain"), lang("auto"), lang("zh-tw"),
                                             TranslationService::Gemini);
    item.date = -12.5;
    auto whole = TranslationHistoryItem::make("a", "b", lang("en"), lang("tr"), TranslationService::Google);
    whole.date = 786000000;
    const QByteArray encoded = TranslationHistoryItem::encodeList({item, whole});
    QJsonParseError error{};
    const QJsonArray array = QJsonDocument::fromJson(encoded, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << encoded.constData();
    EXPECT_EQ(encoded, QJsonDocument(array).toJson(QJsonDocument::Compact)) << "byte for byte";
    EXPECT_EQ(array.at(0).toObject(), item.toJson());

    const QByteArray good = kGoodRecord;
    const QByteArray texts[] = {
        encoded,
        " [ \n" + good + " ,\t" + good + " ] \n",
        R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","sourceText":"\u00e7\ud83d\ude00\/\"","translatedText":"x",)"
        R"("sourceLanguageCode":"en","targetLanguageCode":"tr","serviceRawValue":"google","date":7.86E8,)"
        R"("extra":{"nested":[1,true,null,"s"]}}])",
        R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","sourceText":null}, 3, "s", [] ])",
        "[" + good + ",]",
        "[" + good,
        R"([{"id":"x" "sourceText":"y"}])",
        "[] []",
        R"(["\x"])",
        "[01]",
        // Long runs of plain bytes with a quote, a backslash or the end behind them.
        R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","sourceText":"0123456789abcdef\"0123456\\","translatedText":)"
        R"("çayçayçayçay\u00e7","sourceLanguageCode":"en","targetLanguageCode":"tr","serviceRawValue":"x","date":1}])",
        "[\"0123456789abcdefghijklmnop\x7f\xc3\xa7 no end 0123456789",
        // Raw control characters inside strings, as another tool may write them.
        "[" + QByteArray(kGoodRecord).replace("\"book", "\"line\nbreak\ttab\x01\x1f 0123456789 \r") + "]",
        QByteArray("[\"") + QByteArray(1, '\0') + "\"]",
        QByteArray(kJsonNestingLimit, '[') + QByteArray(kJsonNestingLimit, ']'),
        QByteArray(kJsonNestingLimit + 1, '[') + QByteArray(kJsonNestingLimit + 1, ']'),
    };
    // Numbers in every form a reader may take or refuse, as a record's date and elsewhere.
    const char* const numbers[] = {"700000000.", ".5",   "-.5",  "1.e5",   "1e5",    "-0",
                                   "-0.0",       "1E+2", "1e-2", "0e-400", "1e",     "1e+",
                                   "-",          ".",    "-.e5", "1e400",  "1e-400", "4.9e-324",
                                   "01",         "-01",  "+1",   "1.5.",   "0x10",   "12345678901234567890"};
    // Raw bytes inside strings: invalid UTF-8 (overlong, surrogates, past U+10FFFF, cut short, stray, 0xFF),
    // noncharacters, byte-order marks, and escapes that are lone surrogates or stand for bytes.
    const char* const stringBytes[] = {"\xC0\xAF",
                                       "\xE0\x80\xAF",
                                       "\xF0\x80\x80\x80",
                                       "\xED\xA0\x80",
                                       "\xED\xBF\xBF",
                                       "\xF4\x90\x80\x80",
                                       "\xC3",
                                       "\xE2\x82",
                                       "x\xF0\x9F\x98",
                                       "\x80",
                                       "\xFF",
                                       "\xC3\\n",
                                       "\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
                                       "\xEF\xBB\xBF",
                                       "\xEF\xBB\xBF"
                                       "book",
                                       "\xEF\xBB\xBF\\nbook",
                                       "b\\n\xEF\xBB\xBFook",
                                       "\\ud83d\\ude00\\ude00\\ud83d",
                                       "\\ud800",
                                       "\\\xC3",
                                       "\\\xC3\xA7"};
    QList<QByteArray> rows(std::begin(texts), std::end(texts));
    for (const char* number : numbers) {
        rows << "[" + QByteArray(kGoodRecord).replace("786000000.25", number) + "]";
        rows << "[" + QByteArray(number) + "," + kGoodRecord + "]";
    }
    for (const char* bytes : stringBytes) {
        rows << "[" + QByteArray(kGoodRecord).replace("book", bytes) + "]";
        rows << "[" + QByteArray(kGoodRecord).replace("\"id\"", "\"" + QByteArray(bytes) + "id\"") + "]";
    }
    // A byte-order mark in front of a member's name: another name to QJsonObject.
    rows << "[" + QByteArray(kGoodRecord).replace("\"date\"", "\"\xEF\xBB\xBF" "date\"") + "]"
         << "[" + QByteArray(kGoodRecord).replace("\"date\"", "\"\xEF\xBB\xBF" "date\":1,\"date\"") + "]"
         << "[" + QByteArray(kGoodRecord).replace("\"date\"", "\"date\":1,\"\xEF\xBB\xBF" "date\"") + "]";
    rows << "\xEF\xBB\xBF [" + QByteArray(kGoodRecord) + "]"
         << " \xEF\xBB\xBF[]"
         << "\xEF\xBB\xBF\xEF\xBB\xBF[]";
    for (const QByteArray& text : rows) {
        SCOPED_TRACE(text.left(160).toPercentEncoding(" \"{}[]:,\\").constData());
        const auto decoded = TranslationHistoryItem::decodeList(text);
        const QJsonDocument reference = QJsonDocument::fromJson(text, &error);
        const bool readable = error.error == QJsonParseError::NoError && reference.isArray();
        EXPECT_EQ(decoded.readable, readable);
        if (!readable || !decoded.readable)
            continue;
        QList<QJsonObject> expected;
        int skipped = 0;
        for (const QJsonValue& value : reference.array()) {
            if (auto parsed = TranslationHistoryItem::fromJson(value.toObject()); parsed && value.isObject())
                expected << parsed->toJson();
            else
                ++skipped;
        }
        EXPECT_EQ(decoded.skipped, skipped);
        ASSERT_EQ(decoded.items.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            EXPECT_EQ(decoded.items.at(i).toJson(), expected.at(i));
    }
}

// The shared store reads, decodes and indexes its list beside the UI thread and takes it whole on a later
// turn of the event loop: nothing it is asked before then waits for the list.
TEST(FavoritesStore, ListReadInTheBackgroundIsTakenWholeOnALaterTurn) {
    QByteArray stored = "[";
    for (int i = 0; i < 2000; ++i) {
        QByteArray record = kGoodRecord;
        record.replace("book", "book" + QByteArray::number(i));
        record.replace("6F9619FF", QByteArray::number(10000000 + i));
        stored += (i ? "," : "") + record;
    }
    UserDefaults::standard().setText(kFavorites, LazyText::of(stored + "]"));
    FavoritesManager favorites(FavoritesManager::LoadInBackground{});
    QSignalSpy changes(&favorites, &FavoritesManager::favoritesChanged);

    EXPECT_FALSE(favorites.isFavorite("book7", "kitap")) << "answered without waiting for the list";
    EXPECT_TRUE(favorites.isLoading());
    EXPECT_TRUE(favorites.model()->isLoading());
    EXPECT_EQ(favorites.model()->rowCount(), 0);

    ASSERT_TRUE(changes.wait(10000));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(favorites.isLoading());
    EXPECT_FALSE(favorites.model()->isLoading());
    EXPECT_TRUE(favorites.isFavorite("book7", "kitap"));
    EXPECT_TRUE(favorites.isFavorite("book1999", "kitap"));
    EXPECT_EQ(favorites.model()->items().size(), 2000);
    EXPECT_EQ(sources(favorites.model()->items()), sources(FavoritesManager().favorites()))
        << "every record once, in stored order, as read on the UI thread";

    // A change before the list is there waits for it rather than writing over it.
    FavoritesManager early(FavoritesManager::LoadInBackground{});
    EXPECT_TRUE(early.addFavorite(record("pen", "kalem")));
    EXPECT_FALSE(early.addFavorite(record("book3", "kitap")));
    EXPECT_EQ(early.favorites().size(), 2001);
    EXPECT_EQ(early.favorites().at(0).sourceText, "pen");
    early.clearFavorites();
}
