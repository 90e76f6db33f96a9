#include "menubar/translator/TranslatorActionBar.h"

#include "DevApiTest.h"
#include "FakePlatform.h"
#include "TestUtils.h"
#include "menubar/history/FavoritesManager.h"
#include "menubar/translator/ActionBarButton.h"
#include "menubar/translator/AttachedPopover.h"
#include "menubar/translator/RewriteButton.h"
#include "menubar/translator/RewriteOptionsView.h"
#include "platform/SettingsWriter.h"
#include "platform/UserDefaults.h"
#include "services/TTSSource.h"
#include "services/TextToSpeechService.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>

namespace {

class TranslatorActionBarTest : public DevApiTest {
protected:
    void SetUp() override {
        DevApiTest::SetUp();
        m_host.resize(340, 60);
        m_bar = new TranslatorActionBar(&m_host);
        m_bar->setGeometry(0, 0, 340, 36);
        m_host.show();
        // The view applies a rewrite to its output; so does this stand-in.
        QObject::connect(m_bar, &TranslatorActionBar::translatedTextRewritten, m_bar,
                         [this](const QString& text) {
                             TranslatorActionBar::Context context = m_bar->context();
                             context.translatedText = text;
                             m_bar->setContext(context);
                         });
    }
    void TearDown() override {
        TextToSpeechService::shared().stop();
        TextToSpeechService::shared().resetPlaybackState();
    }

    void show(const QString& input, const QString& output, TranslationService service) {
        m_bar->setContext({input, output, Language::find(QStringLiteral("en")),
                           Language::find(QStringLiteral("tr")), service});
    }

    QJsonObject lastBody() const { return s_api->lastRequest().value(QStringLiteral("body")).toObject(); }

    QWidget m_host;
    TranslatorActionBar* m_bar = nullptr;
};

} // namespace

TEST_F(TranslatorActionBarTest, OffersFavoriteWithAnInputAndRewriteForTheRewritingProviders) {
    struct Case {
        QString input;
        TranslationService service;
        bool favorite;
        bool rewrite;
    };
    const QList<Case> cases = {
        {QStringLiteral("book"), TranslationService::Google, true, false},
        {QStringLiteral("book"), TranslationService::DeepL, true, false},
        {QStringLiteral("book"), TranslationService::ChatGPT, true, true},
        {QStringLiteral("book"), TranslationService::Gemini, true, true},
        {QString(), TranslationService::Gemini, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(rawValue(c.service).toStdString() + " input '" + c.input.toStdString() + "'");
        show(c.input, QStringLiteral("kitap"), c.service);
        EXPECT_TRUE(m_bar->copyButton()->isVisible());
        EXPECT_TRUE(m_bar->listenButton()->isVisible());
        EXPECT_EQ(m_bar->favoriteButton()->isVisible(), c.favorite);
        EXPECT_EQ(m_bar->rewriteButton()->isVisible(), c.rewrite);
    }
    // Copy, favorite and listen lead; rewrite sits at the trailing end.
    show(QStringLiteral("book"), QStringLiteral("kitap"), TranslationService::ChatGPT);
    EXPECT_LT(m_bar->copyButton()->x(), m_bar->favoriteButton()->x());
    EXPECT_LT(m_bar->favoriteButton()->x(), m_bar->listenButton()->x());
    EXPECT_EQ(m_bar->rewriteButton()->geometry().right(), m_bar->width() - 1);
}

TEST_F(TranslatorActionBarTest, CopyLeavesOnlyTheOutputOnTheClipboard) {
    FakePasteboard& pasteboard = fakePlatform().fakePasteboard();
    PasteboardSnapshot before;
    before.items = {{QStringLiteral("image/png"), QByteArray("png")}, {QStringLiteral("text/plain"), "old"}};
    pasteboard.setExternalContent(before);
    QSignalSpy toasts(m_bar, &TranslatorActionBar::toastRequested);

    show(QStringLiteral("book"), QStringLiteral("kitap"), TranslationService::Google);
    QTest::mouseClick(m_bar->copyButton(), Qt::LeftButton);

    EXPECT_EQ(pasteboard.currentString(), QStringLiteral("kitap"));
    EXPECT_FALSE(pasteboard.contents().hasFormat(QStringLiteral("image/png")));
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_EQ(toasts.at(0).at(0).toString(), QStringLiteral("Copied"));
    EXPECT_EQ(toasts.at(0).at(1).toString(), QStringLiteral("doc.on.doc"));
}

TEST_F(TranslatorActionBarTest, ListenSpeaksTheOutputInTheTargetLanguageAndStopsIt) {
    TextToSpeechService& tts = TextToSpeechService::shared();
    show(QStringLiteral("book"), QStringLiteral("kitap"), TranslationService::Google);
    EXPECT_EQ(m_bar->listenButton()->symbol(), QStringLiteral("speaker.wave.2.fill"));

    QTest::mouseClick(m_bar->listenButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return tts.isPlaying(TTSSource::Output); }, 10000));
    EXPECT_EQ(s_api->lastRequest().value(QStringLiteral("path")).toString(), QStringLiteral("/api/tts"));
    EXPECT_EQ(lastBody().value(QStringLiteral("text")).toString(), QStringLiteral("kitap"));
    EXPECT_EQ(lastBody().value(QStringLiteral("language")).toString(), QStringLiteral("tr"));
    EXPECT_EQ(m_bar->listenButton()->symbol(), QStringLiteral("stop.fill"));

    QTest::mouseClick(m_bar->listenButton(), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return !tts.isPlaying(); }));
    EXPECT_EQ(tts.activeSource(), TTSSource::Unknown);
    EXPECT_EQ(m_bar->listenButton()->symbol(), QStringLiteral("speaker.wave.2.fill"));

    // Speech of the input does not turn this button into a stop button.
    tts.speak(QStringLiteral("book"), QStringLiteral("en"), false, TTSSource::Input);
    ASSERT_TRUE(waitUntil([&] { return tts.isPlaying(TTSSource::Input); }, 10000));
    EXPECT_EQ(m_bar->listenButton()->symbol(), QStringLiteral("speaker.wave.2.fill"));
}

TEST_F(TranslatorActionBarTest, RewritesTheShownTranslationInEachStyleWithAFade) {
    QSignalSpy started(m_bar, &TranslatorActionBar::rewriteStarted);
    QSignalSpy opacity(m_bar, &TranslatorActionBar::rewriteTextOpacityChanged);
    for (RewriteStyle style : allRewriteStyles()) {
        for (TranslationService service : {TranslationService::ChatGPT, TranslationService::Gemini}) {
            SCOPED_TRACE(rawValue(style).toStdString() + " with " + rawValue(service).toStdString());
            s_api->clearRequestLog();
            show(QStringLiteral("hello"), QStringLiteral("merhaba"), service);
            QSignalSpy rewritten(m_bar, &TranslatorActionBar::translatedTextRewritten);
            m_bar->rewriteTranslation(style);
            EXPECT_TRUE(m_bar->isRewriting());
            EXPECT_TRUE(m_bar->rewriteButton()->isRingTurning());
            EXPECT_FALSE(m_bar->rewriteButton()->isEnabled());
            EXPECT_EQ(m_bar->rewriteButton()->text(), QStringLiteral("Rewriting..."));
            // Another provider chosen meanwhile is not the one that rewrote it.
            const TranslationService other = service == TranslationService::ChatGPT ? TranslationService::Gemini
                                                                                    : TranslationService::ChatGPT;
            show(QStringLiteral("hello"), QStringLiteral("merhaba"), other);

            // The answer ends the rewriting state at once; the text follows once the old one faded out.
            // Seen at the fade's first step, whatever the machine's load.
            std::optional<std::tuple<bool, bool, bool, qsizetype>> atFadeStart;
            const QMetaObject::Connection watch =
                QObject::connect(m_bar, &TranslatorActionBar::rewriteTextOpacityChanged, m_bar, [&] {
                    if (!atFadeStart)
                        atFadeStart = {m_bar->isRewriting(), m_bar->rewriteButton()->isRingTurning(),
                                       m_bar->isSwapPending(), rewritten.size()};
                });
            ASSERT_TRUE(waitUntil([&] { return atFadeStart.has_value(); }, 10000));
            QObject::disconnect(watch);
            EXPECT_EQ(*atFadeStart, std::make_tuple(false, false, true, qsizetype(0)));
            EXPECT_EQ(m_bar->rewriteButton()->text(), QStringLiteral("Rewrite"));
            ASSERT_TRUE(waitUntil([&] { return !rewritten.isEmpty(); }));
            EXPECT_EQ(rewritten.at(0).at(0).toString(), QStringLiteral("[%1] merhaba").arg(rawValue(style)));
            EXPECT_EQ(rewritten.at(0).at(1).value<TranslationService>(), service);
            EXPECT_TRUE(waitUntil([&] { return m_bar->rewriteTextOpacity() == 1.0; }));

            const QJsonObject request = s_api->lastRequest();
            EXPECT_EQ(request.value(QStringLiteral("path")).toString(),
                      QStringLiteral("/api/translate/%1/rewrite").arg(rawValue(service)));
            EXPECT_EQ(lastBody().value(QStringLiteral("text")).toString(), QStringLiteral("merhaba"));
            EXPECT_EQ(lastBody().value(QStringLiteral("style")).toString(), rawValue(style));
            EXPECT_EQ(lastBody().value(QStringLiteral("trigger_source")).toString(), QStringLiteral("menu"));
            EXPECT_EQ(lastBody().value(QStringLiteral("process_type")).toString(), QStringLiteral("rewrite"));
        }
    }
    EXPECT_EQ(started.size(), 10);
    // Every fade went down to nothing and back.
    bool reachedZero = false;
    for (const QList<QVariant>& change : opacity)
        reachedZero = reachedZero || change.at(0).toReal() == 0.0;
    EXPECT_TRUE(reachedZero);
}

TEST_F(TranslatorActionBarTest, StyleMenuListsTheFiveStylesAndRewritesWithTheChosenOne) {
    show(QStringLiteral("hello"), QStringLiteral("merhaba"), TranslationService::Gemini);
    QTest::mouseClick(m_bar->rewriteButton(), Qt::LeftButton);
    ASSERT_TRUE(m_bar->rewriteOptions()->isShown());
    RewriteOptionsView* menu = m_bar->rewriteOptionsView();
    ASSERT_NE(menu, nullptr);
    QStringList titles;
    for (QAbstractButton* row : menu->buttons())
        titles.append(row->text());
    EXPECT_EQ(titles, (QStringList{"Rephrase", "Friendly", "Professional", "Concise", "Detailed"}));
    EXPECT_EQ(menu->width(), 200);

    // The whole row is the hit area, the blank space right of a short title included.
    QAbstractButton* friendly = menu->buttons().at(1);
    QTest::mouseClick(friendly, Qt::LeftButton, {}, QPoint(friendly->width() - 15, friendly->height() / 2));
    EXPECT_FALSE(m_bar->rewriteOptions()->isShown());
    EXPECT_EQ(m_bar->rewriteStyle(), RewriteStyle::Friendly);
    EXPECT_TRUE(m_bar->isRewriting());
    ASSERT_TRUE(s_api->waitForRequests(1));
    EXPECT_EQ(lastBody().value(QStringLiteral("style")).toString(), QStringLiteral("friendly"));
    EXPECT_TRUE(waitUntil([&] { return !m_bar->isRewriting() && !m_bar->isSwapPending(); }, 10000));
    EXPECT_EQ(m_bar->context().translatedText, QStringLiteral("[friendly] merhaba"));
}

TEST_F(TranslatorActionBarTest, AFailedRewriteKeepsTheOutputAndReportsTheError) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString message;
    };
    const QList<Case> cases = {
        {"server failure", [] { s_api->failNext(QStringLiteral("500")); },
         QStringLiteral("Rewrite failed: Server error: Simulated server failure")},
        {"answer without the rewritten text", [] { s_api->failNext(QStringLiteral("missing-field")); },
         QStringLiteral("Rewrite failed: Error processing server response.")},
        {"bad base URL",
         [] {
             UserDefaults::standard().set(QStringLiteral("apiBaseURL"), QStringLiteral("ftp://127.0.0.1:1"));
         },
         QStringLiteral("Rewrite failed: Invalid URL configuration.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s_api->useAsApiBase();
        c.arrange();
        show(QStringLiteral("hello"), QStringLiteral("merhaba"), TranslationService::ChatGPT);
        QSignalSpy failed(m_bar, &TranslatorActionBar::rewriteFailed);
        QSignalSpy rewritten(m_bar, &TranslatorActionBar::translatedTextRewritten);
        m_bar->rewriteTranslation(RewriteStyle::Concise);
        ASSERT_TRUE(waitUntil([&] { return !failed.isEmpty(); }, 10000));
        EXPECT_EQ(failed.at(0).at(0).toString(), c.message);
        EXPECT_FALSE(m_bar->isRewriting());
        EXPECT_TRUE(m_bar->rewriteButton()->isEnabled());
        runQueuedWork();
        EXPECT_TRUE(rewritten.isEmpty());
        EXPECT_EQ(m_bar->rewriteTextOpacity(), 1.0);
    }
}

TEST_F(TranslatorActionBarTest, OneRewriteAtATimeAndNoneWithoutOutput) {
    show(QStringLiteral("hello"), QString(), TranslationService::ChatGPT);
    m_bar->rewriteTranslation(RewriteStyle::Friendly);
    EXPECT_FALSE(m_bar->isRewriting());

    s_api->failNext(QStringLiteral("slow"), 1, 300);
    show(QStringLiteral("hello"), QStringLiteral("merhaba"), TranslationService::ChatGPT);
    m_bar->rewriteTranslation(RewriteStyle::Friendly);
    m_bar->rewriteTranslation(RewriteStyle::Detailed);
    EXPECT_TRUE(waitUntil([&] { return !m_bar->isRewriting() && !m_bar->isSwapPending(); }, 10000));
    EXPECT_EQ(s_api->requestLog().size(), 1);
    EXPECT_EQ(m_bar->context().translatedText, QStringLiteral("[friendly] merhaba"));
}

TEST_F(TranslatorActionBarTest, ANewerOutputDropsTheRewriteOfTheOldOne) {
    QSignalSpy rewritten(m_bar, &TranslatorActionBar::translatedTextRewritten);
    QSignalSpy failed(m_bar, &TranslatorActionBar::rewriteFailed);

    // The answer arrives after the user translated again.
    s_api->failNext(QStringLiteral("slow"), 1, 400);
    show(QStringLiteral("hello"), QStringLiteral("merhaba"), TranslationService::ChatGPT);
    // Longer than the stand-in takes to answer: a request still alive ends with its answer.
    constexpr int timeoutMs = 600;
    {
        WebTimeout limit(timeoutMs);
        m_bar->rewriteTranslation(RewriteStyle::Professional);
    }
    ASSERT_TRUE(s_api->waitForRequests(1));
    show(QStringLiteral("world"), QStringLiteral("dünya"), TranslationService::ChatGPT);
    m_bar->outputReplaced();
    EXPECT_FALSE(m_bar->isRewriting());
    EXPECT_FALSE(m_bar->rewriteButton()->isRingTurning());
    // Ended by now, and its rewrite, had it been kept, swapped in.
    runQueuedWork(timeoutMs);
    runQueuedWork(TranslatorActionBar::fadeMs);
    EXPECT_TRUE(rewritten.isEmpty());
    EXPECT_TRUE(failed.isEmpty());

    // A failure of a dropped rewrite is not reported either.
    s_api->failNext(QStringLiteral("500"));
    {
        WebTimeout limit(timeoutMs);
        m_bar->rewriteTranslation(RewriteStyle::Professional);
    }
    m_bar->outputReplaced();
    runQueuedWork(timeoutMs);
    EXPECT_TRUE(failed.isEmpty());
    // The dropped request may never have reached the server.
    ASSERT_TRUE(s_api->resetFailures());

    // The newer output arrives while the old one fades out: the pending swap is cancelled.
    bool replaced = false;
    const QMetaObject::Connection watch =
        QObject::connect(m_bar, &TranslatorActionBar::rewriteTextOpacityChanged, m_bar, [&] {
            if (replaced || !m_bar->isSwapPending())
                return;
            replaced = true;
            show(QStringLiteral("cat"), QStringLiteral("kedi"), TranslationService::ChatGPT);
            m_bar->outputReplaced();
        });
    m_bar->rewriteTranslation(RewriteStyle::Professional);
    ASSERT_TRUE(waitUntil([&] { return replaced; }, 10000));
    QObject::disconnect(watch);
    EXPECT_FALSE(m_bar->isSwapPending());
    EXPECT_EQ(m_bar->rewriteTextOpacity(), 1.0);
    // The cancelled swap would have happened by now.
    runQueuedWork(TranslatorActionBar::fadeMs);
    EXPECT_TRUE(rewritten.isEmpty());
    EXPECT_EQ(m_bar->context().translatedText, QStringLiteral("kedi"));
    EXPECT_EQ(m_bar->rewriteTextOpacity(), 1.0);
}

TEST_F(TranslatorActionBarTest, FavoriteAddsAndRemovesThePairAndFollowsTheStore) {
    FavoritesManager& favorites = FavoritesManager::shared();
    favorites.clearFavorites();
    QSignalSpy toasts(m_bar, &TranslatorActionBar::toastRequested);
    const auto toast = [&](qsizetype n) {
        return n < toasts.size()
                   ? toasts.at(n).at(0).toString() + QLatin1Char(' ') + toasts.at(n).at(1).toString()
                   : QString();
    };
    // A pair the settings could not write is neither told as added nor shown saved: it is held, and the
    // next click saves it again.
    const QString values = UserDefaults::standard().valuesPath();
    const QString aside = values + QStringLiteral("-aside");
    struct Case {
        const char* name;
        std::function<void()> fail;
        std::function<void()> mend;
    };
    const Case cases[] = {
        {"written", nullptr, nullptr},
        {"a full disk",
         [] {
             SettingsWriter::setWriteForTesting([](int, const void*, size_t, off_t) -> ssize_t {
                 errno = ENOSPC;
                 return -1;
             });
         },
         [] { SettingsWriter::setWriteForTesting(nullptr); }},
        {"a link at the values folder",
         [&] { ASSERT_TRUE(QDir().rename(values, aside) && QFile::link(aside, values)); },
         [&] { ASSERT_TRUE(QFile::remove(values) && QDir().rename(aside, values)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        toasts.clear();
        show(QStringLiteral("book"), QStringLiteral("kitap"), TranslationService::Google);
        EXPECT_EQ(m_bar->favoriteButton()->symbol(), QStringLiteral("bookmark"));
        if (c.fail) {
            c.fail();
            QTest::mouseClick(m_bar->favoriteButton(), Qt::LeftButton);
            EXPECT_TRUE(waitUntil([&] { return !toasts.isEmpty(); }));
            EXPECT_EQ(toast(0), QStringLiteral("Not saved bookmark"));
            EXPECT_EQ(m_bar->favoriteButton()->symbol(), QStringLiteral("bookmark"));
            EXPECT_EQ(favorites.favorites().size(), 1);
            c.mend();
            toasts.clear();
        }
        QTest::mouseClick(m_bar->favoriteButton(), Qt::LeftButton);
        EXPECT_TRUE(waitUntil([&] { return !toasts.isEmpty(); }));
        EXPECT_EQ(toast(0), QStringLiteral("Added bookmark.fill"));
        ASSERT_EQ(favorites.favorites().size(), 1);
        const TranslationHistoryItem saved = favorites.favorites().first();
        EXPECT_EQ(saved.sourceText, QStringLiteral("book"));
        EXPECT_EQ(saved.translatedText, QStringLiteral("kitap"));
        EXPECT_EQ(saved.sourceLanguage.code, QStringLiteral("en"));
        EXPECT_EQ(saved.targetLanguage.code, QStringLiteral("tr"));
        EXPECT_EQ(saved.service, TranslationService::Google);
        EXPECT_EQ(m_bar->favoriteButton()->symbol(), QStringLiteral("bookmark.fill"));

        // The same texts with other languages and another provider are the same favorite.
        m_bar->setContext({QStringLiteral("book"), QStringLiteral("kitap"),
                           Language::find(QStringLiteral("de")), Language::find(QStringLiteral("tr")),
                           TranslationService::DeepL});
        EXPECT_TRUE(m_bar->isFavorite());
        QTest::mouseClick(m_bar->favoriteButton(), Qt::LeftButton);
        EXPECT_TRUE(favorites.favorites().isEmpty());
        EXPECT_EQ(m_bar->favoriteButton()->symbol(), QStringLiteral("bookmark"));
        EXPECT_EQ(toast(1), QStringLiteral("Removed bookmark"));
    }

    // A change made elsewhere (a history row, the favorites window) shows once it is saved.
    favorites.addFavorite(TranslationHistoryItem::make(
        QStringLiteral("book"), QStringLiteral("kitap"), Language::find(QStringLiteral("en")),
        Language::find(QStringLiteral("tr")), TranslationService::Google));
    EXPECT_TRUE(
        waitUntil([&] { return m_bar->favoriteButton()->symbol() == QStringLiteral("bookmark.fill"); }));
    favorites.clearFavorites();
    EXPECT_EQ(m_bar->favoriteButton()->symbol(), QStringLiteral("bookmark"));

    // A click while the list is still being read: the saved pair shows as not saved, and the click
    // adds nothing and says so.
    UserDefaults::standard().setText(
        FavoritesManager::userDefaultsKey,
        LazyText::of(R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","sourceText":"book",)"
                     R"("translatedText":"kitap","sourceLanguageCode":"en","targetLanguageCode":"tr",)"
                     R"("serviceRawValue":"deepl","date":786000000.25}])"));
    FavoritesManager loading(FavoritesManager::LoadInBackground{});
    TranslatorActionBar bar(loading, &m_host);
    QSignalSpy loadingToasts(&bar, &TranslatorActionBar::toastRequested);
    bar.setContext(m_bar->context());
    ASSERT_TRUE(loading.isLoading());
    EXPECT_EQ(bar.favoriteButton()->symbol(), QStringLiteral("bookmark"));
    bar.toggleFavorite();
    ASSERT_EQ(loading.favorites().size(), 1);
    EXPECT_EQ(loading.favorites().first().service, TranslationService::DeepL) << "the saved record stays";
    EXPECT_EQ(bar.favoriteButton()->symbol(), QStringLiteral("bookmark.fill"));
    ASSERT_EQ(loadingToasts.size(), 1);
    EXPECT_EQ(loadingToasts.at(0).at(0).toString(), QStringLiteral("Already saved"));
    EXPECT_EQ(loadingToasts.at(0).at(1).toString(), QStringLiteral("bookmark.fill"));
    UserDefaults::standard().remove(FavoritesManager::userDefaultsKey);
}
