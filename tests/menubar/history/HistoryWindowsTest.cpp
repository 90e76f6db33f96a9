#include "TestUtils.h"
#include "menubar/history/FavoritesManager.h"
#include "menubar/history/FavoritesView.h"
#include "menubar/history/HistoryManager.h"
#include "menubar/history/HistoryView.h"
#include "menubar/history/SavedTranslationsWindows.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <ctime>
#include <gtest/gtest.h>

namespace {

Language lang(const char* code) {
    return Language::find(QString::fromLatin1(code));
}

// Every notification a window posts, in order.
class Posted : public QObject {
public:
    Posted() {
        for (const char* name : {"LoadTranslation", "CloseHistoryWindow", "CloseFavoritesWindow"}) {
            NotificationCenter::shared().addObserver(QString::fromLatin1(name), this,
                                                     [this, name](const QVariantMap& info) {
                                                         names << QString::fromLatin1(name);
                                                         infos << info;
                                                     });
        }
    }
    QStringList names;
    QList<QVariantMap> infos;
};

QRect rowRect(SavedTranslationsView& view, int row) {
    return view.listView()->visualRect(view.listView()->model()->index(row, 0));
}

void clickCard(SavedTranslationsView& view, int row) {
    QTest::mouseClick(view.listView()->viewport(), Qt::LeftButton, {},
                      rowRect(view, row).topLeft() + QPoint(30, 30));
}

void clickButton(SavedTranslationsView& view, int row) {
    const auto& item = static_cast<SavedTranslationsModel*>(view.listView()->model())->item(row);
    QTest::mouseClick(view.listView()->viewport(), Qt::LeftButton, {},
                      view.delegate()->buttonRect(rowRect(view, row), item).center());
}

void showAndSettle(QWidget& window) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
}

class HistoryWindows : public ::testing::Test {
protected:
    HistoryManager m_history;
    FavoritesManager m_favorites;
};

} // namespace

TEST_F(HistoryWindows, ACardClickLoadsItsTranslationThenAsksTheWindowToClose) {
    m_history.addTranslation("hello", "merhaba", lang("auto"), lang("tr"), TranslationService::DeepL);
    m_history.addTranslation("two", "iki", lang("en"), lang("tr"), TranslationService::Google);
    m_favorites.addFavorite(
        TranslationHistoryItem::make("book", "kitap", lang("en"), lang("de"), TranslationService::Gemini));
    HistoryView history(m_history, m_favorites);
    FavoritesView favorites(m_favorites);
    showAndSettle(history);
    showAndSettle(favorites);
    ASSERT_EQ(history.listView()->model()->rowCount(), 2);

    Posted posted;
    clickCard(history, 1);
    clickCard(favorites, 0);
    EXPECT_EQ(posted.names, QStringList({"LoadTranslation", "CloseHistoryWindow", "LoadTranslation",
                                         "CloseFavoritesWindow"}));
    ASSERT_EQ(posted.infos.size(), 4);
    EXPECT_EQ(posted.infos[0], (QVariantMap{{"sourceText", "hello"},
                                            {"translatedText", "merhaba"},
                                            {"sourceLanguageCode", "auto"},
                                            {"targetLanguageCode", "tr"},
                                            {"serviceRawValue", "deepl"}}));
    EXPECT_EQ(posted.infos[2].value("serviceRawValue"), "gemini");
    EXPECT_EQ(posted.infos[2].value("targetLanguageCode"), "de");
    EXPECT_EQ(m_history.translations().size(), 2) << "loading changes no store";
    EXPECT_EQ(m_favorites.favorites().size(), 1);
}

TEST_F(HistoryWindows, CardsKeepTheLineBreaksOfTheirTexts) {
    m_history.addTranslation("one", "bir", lang("en"), lang("tr"), TranslationService::Google);
    m_history.addTranslation("one\ntwo", "bir\r\niki", lang("en"), lang("tr"), TranslationService::Google);
    HistoryView history(m_history, m_favorites);
    history.resize(400, 500);
    showAndSettle(history);
    ASSERT_EQ(history.listView()->model()->rowCount(), 2);
    // Newest first: the two-line texts are in row 0 and take one line more each.
    const int lineHeight = QFontMetrics(history.font()).height();
    EXPECT_GE(rowRect(history, 0).height() - rowRect(history, 1).height(), 2 * lineHeight - 4);
}

TEST_F(HistoryWindows, RowButtonsToggleAndRemoveFavoritesWithoutLoading) {
    m_history.addTranslation("book", "kitap", lang("en"), lang("tr"), TranslationService::Google);
    m_favorites.addFavorite(
        TranslationHistoryItem::make("pen", "kalem", lang("en"), lang("tr"), TranslationService::Google));
    HistoryView history(m_history, m_favorites);
    FavoritesView favorites(m_favorites);
    showAndSettle(history);
    showAndSettle(favorites);
    Posted posted;

    clickButton(history, 0);
    ASSERT_EQ(m_favorites.favorites().size(), 2);
    EXPECT_EQ(m_favorites.favorites().front().id, m_history.translations().front().id)
        << "the history record itself";
    EXPECT_EQ(favorites.listView()->model()->rowCount(), 2) << "the open favorites window follows";

    // A favorite saved from another record with the same texts counts too, and goes with the toggle.
    m_favorites.addFavorite(
        TranslationHistoryItem::make("x", "y", lang("en"), lang("tr"), TranslationService::Google));
    clickButton(history, 0);
    EXPECT_FALSE(m_favorites.isFavorite(m_history.translations().front()));

    clickButton(favorites, 1);
    EXPECT_EQ(m_favorites.favorites().size(), 1);
    EXPECT_EQ(m_favorites.favorites().front().sourceText, "x");
    EXPECT_TRUE(posted.names.isEmpty());
}

TEST_F(HistoryWindows, ClearAllAsksFirstAndOnlyAConfirmationClears) {
    for (bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "confirmed" : "cancelled");
        m_history.addTranslation("book", "kitap", lang("en"), lang("tr"), TranslationService::Google);
        m_favorites.addFavorite(
            TranslationHistoryItem::make("pen", "kalem", lang("en"), lang("tr"), TranslationService::Google));
        HistoryView history(m_history, m_favorites);
        FavoritesView favorites(m_favorites);
        for (SavedTranslationsView* view : {static_cast<SavedTranslationsView*>(&history),
                                            static_cast<SavedTranslationsView*>(&favorites)}) {
            showAndSettle(*view);
            ASSERT_TRUE(view->clearAllButton()->isEnabled());
            EXPECT_FALSE(view->isShowingEmptyState());
            view->clearAllButton()->click();
            QMessageBox* box = view->confirmation();
            ASSERT_TRUE(box);
            EXPECT_EQ(view->listView()->model()->rowCount(), 1) << "nothing goes before the answer";
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) ==
                    (confirm ? QMessageBox::DestructiveRole : QMessageBox::RejectRole))
                    button->click();
            }
            ASSERT_TRUE(waitUntil([&] { return !view->confirmation(); }));
            EXPECT_EQ(view->isShowingEmptyState(), confirm);
            EXPECT_EQ(view->clearAllButton()->isEnabled(), !confirm);
        }
        EXPECT_EQ(m_history.translations().isEmpty(), confirm);
        EXPECT_EQ(m_favorites.favorites().isEmpty(), confirm);
        if (confirm) {
            EXPECT_EQ(UserDefaults::standard().data(HistoryManager::userDefaultsKey), "[]");
            EXPECT_EQ(UserDefaults::standard().data(FavoritesManager::userDefaultsKey), "[]");
            // Empty: nothing to ask about.
            history.clearAllButton()->click();
            EXPECT_FALSE(history.confirmation());
        }
    }
}

TEST_F(HistoryWindows, NotificationsOpenAndCloseOneTopLevelWindowEach) {
    SavedTranslationsWindows& windows = SavedTranslationsWindows::shared();
    for (const auto& [open, close] : {std::pair{"OpenHistoryWindow", "CloseHistoryWindow"},
                                      std::pair{"OpenFavoritesWindow", "CloseFavoritesWindow"}}) {
        SCOPED_TRACE(open);
        const auto window = [&]() -> QWidget* {
            return QString::fromLatin1(open).contains("History")
                       ? static_cast<QWidget*>(windows.historyWindow())
                       : static_cast<QWidget*>(windows.favoritesWindow());
        };
        NotificationCenter::shared().post(QString::fromLatin1(open));
        QPointer<QWidget> first = window();
        ASSERT_TRUE(first);
        EXPECT_TRUE(first->isVisible());
        EXPECT_TRUE(first->isWindow());
        EXPECT_EQ(first->windowType(), Qt::Window)
            << "a normal window, with a taskbar entry when the policy gives one";
        NotificationCenter::shared().post(QString::fromLatin1(open));
        EXPECT_EQ(window(), first.data()) << "one window, brought forward";
        NotificationCenter::shared().post(QString::fromLatin1(close));
        EXPECT_TRUE(waitUntil([&] { return first.isNull(); })) << "dropped when closed";
    }
}

TEST_F(HistoryWindows, TenThousandFavoritesOpenWithoutLayingOutEveryRowFirst) {
    QList<TranslationHistoryItem> items;
    const QString text = QString(200, QLatin1Char('a')).replace(7, 1, QLatin1Char(' '));
    for (int i = 0; i < 10000; ++i)
        items << TranslationHistoryItem::make(text + QString::number(i), text, lang("en"), lang("tr"),
                                              TranslationService::Google);
    m_favorites.model()->setItems(items);
    FavoritesView favorites(m_favorites);
    // The work this thread did, not the time it took: other processes on a loaded machine take turns too.
    const auto workMs = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    };
    const qint64 before = workMs();
    showAndSettle(favorites);
    const qint64 shown = workMs() - before;
    EXPECT_FALSE(favorites.listView()->visualRect(favorites.listView()->model()->index(0, 0)).isEmpty());
    // Even in a sanitizer build a batch shows in tens of ms; laying out every row first takes most of a
    // second.
    EXPECT_LT(shown, 300) << "first rows shown after " << shown << " ms of work";
}
