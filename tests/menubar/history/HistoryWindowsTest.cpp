#include "TestUtils.h"
#include "menubar/MenuBarManager.h"
#include "menubar/history/FavoritesManager.h"
#include "menubar/history/FavoritesView.h"
#include "menubar/history/HistoryManager.h"
#include "menubar/history/HistoryView.h"
#include "menubar/translator/MenuBarView.h"
#include "menubar/translator/TextInputView.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "ui/Color.h"
#include "ui/TextButton.h"
#include "ui/PopoverWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QListView>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

Language lang(const char* code) {
    return Language::find(QString::fromLatin1(code));
}

// Every notification a window posts, in order.
class Posted : public QObject {
public:
    Posted() {
        for (const QString& name : {Notifications::LoadTranslation, Notifications::CloseHistoryWindow,
                                    Notifications::CloseFavoritesWindow}) {
            NotificationCenter::shared().addObserver(name, this, [this, name](const QVariantMap& info) {
                names << name;
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

QRect cardRect(SavedTranslationsView& view, int row) {
    return SavedTranslationCardDelegate::cardRect(rowRect(view, row), view.listView()->model()->index(row, 0));
}

void clickButton(SavedTranslationsView& view, int row) {
    QTest::mouseClick(view.listView()->viewport(), Qt::LeftButton, {},
                      view.delegate()->buttonRect(rowRect(view, row), view.listView()->model()->index(row, 0))
                          .center());
}

QSet<QWidget*> visibleWindows() {
    QSet<QWidget*> result;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            result.insert(widget);
    }
    return result;
}

void showAndSettle(QWidget& window) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
}

class HistoryWindows : public ::testing::Test {
protected:
    // "book" in the history, "pen" in the favorites.
    void addBookAndPen() {
        m_history.addTranslation("book", "kitap", lang("en"), lang("tr"), TranslationService::Google);
        m_favorites.addFavorite(
            TranslationHistoryItem::make("pen", "kalem", lang("en"), lang("tr"), TranslationService::Google));
    }

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
    EXPECT_EQ(posted.names,
              QStringList({Notifications::LoadTranslation, Notifications::CloseHistoryWindow,
                           Notifications::LoadTranslation, Notifications::CloseFavoritesWindow}));
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
    EXPECT_GE(cardRect(history, 0).height() - cardRect(history, 1).height(), 2 * lineHeight - 4);
    // The list is padded 4 above the first card and below the last; the cards are 12 apart.
    EXPECT_EQ(cardRect(history, 0).top(), 4);
    EXPECT_EQ(cardRect(history, 1).top() - cardRect(history, 0).bottom() - 1, 12);
    EXPECT_EQ(rowRect(history, 1).bottom() - cardRect(history, 1).bottom(), 4);
}

// A card shows a text of any length a translation can have whole; of a longer one (another program's), the
// beginning as long as that. The list takes no more text at once than it lays out in a moment, and lays
// its rows out at its width with the scroll bar shown.
TEST_F(HistoryWindows, CardsShowTextsWholeUpToTheLongestTranslation) {
    const QString words = QStringLiteral("the quick brown fox jumps over the lazy dog ");
    const QString japanese = QString::fromUtf8("日本語の文章はスペースを使わずに書かれる。");
    const qsizetype shown = SavedTranslationCardDelegate::shownLength;
    struct Case {
        const char* name;
        QString unit;
        qsizetype longer, shorter;
        // How much more the longer text makes a card grow than the shorter one.
        double growth;
        int rowsAtFirst;
    };
    const Case cases[] = {
        {"short texts", words, 400, 200, 2, 3},
        {"six times the longest input", words, 30000, 15000, 2, 3},
        {"a million characters of words", words, 1000000, shown, 1, 1},
        {"a million Japanese characters", japanese, 1000000, shown, 1, 1},
        {"a million times one letter", QStringLiteral("a"), 1000000, shown, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_history.clearHistory();
        for (const qsizetype length : {qsizetype(1), c.shorter, c.longer})
            m_history.addTranslation("s", c.unit.repeated(length / c.unit.size() + 1).left(length),
                                     lang("en"), lang("tr"), TranslationService::Google);
        m_history.model()->restartFetching();
        EXPECT_EQ(m_history.model()->rowCount(), c.rowsAtFirst);
        HistoryView history(m_history, m_favorites);
        showAndSettle(history);
        QAbstractItemModel* model = history.listView()->model();
        while (model->canFetchMore({}))
            model->fetchMore({});
        QCoreApplication::processEvents();
        ASSERT_EQ(model->rowCount(), 3);
        SavedTranslationCardDelegate fresh(history.listView(),
                                           SavedTranslationCardDelegate::Button::Bookmark);
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(rowRect(history, row).height(), fresh.sizeHint({}, model->index(row, 0)).height())
                << row;
        const int oneLine = cardRect(history, 2).height();
        EXPECT_NEAR(cardRect(history, 0).height() - oneLine,
                    c.growth * (cardRect(history, 1).height() - oneLine),
                    2 * QFontMetrics(history.font()).height());
    }
    m_history.clearHistory();
}

TEST_F(HistoryWindows, RowButtonsToggleAndRemoveFavoritesWithoutLoading) {
    addBookAndPen();
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

TEST_F(HistoryWindows, ClearAllEmptiesAtOnceWithoutAskingAndIsOffWhileEmpty) {
    addBookAndPen();
    HistoryView history(m_history, m_favorites);
    FavoritesView favorites(m_favorites);
    for (auto [view, key] :
         {std::pair<SavedTranslationsView*, QString>{&history, HistoryManager::userDefaultsKey},
          std::pair<SavedTranslationsView*, QString>{&favorites, FavoritesManager::userDefaultsKey}}) {
        SCOPED_TRACE(key.toStdString());
        showAndSettle(*view);
        const auto* clearAll = qobject_cast<const TextButton*>(view->clearAllButton());
        ASSERT_TRUE(clearAll);
        ASSERT_TRUE(clearAll->isEnabled());
        EXPECT_NEAR(clearAll->foregroundColor().alphaF(), Color::accentColor().alphaF(), 0.002);
        EXPECT_FALSE(view->isShowingEmptyState());
        const QSet<QWidget*> before = visibleWindows();
        view->clearAllButton()->click();
        EXPECT_EQ(view->listView()->model()->rowCount(), 0);
        EXPECT_TRUE(view->isShowingEmptyState());
        EXPECT_FALSE(clearAll->isEnabled());
        EXPECT_NEAR(clearAll->foregroundColor().alphaF(), Color::accentColor().alphaF() * 0.5, 0.002);
        EXPECT_EQ(clearAll->foregroundColor().rgb(), Color::accentColor().rgb());
        EXPECT_EQ(UserDefaults::standard().data(key), "[]");
        EXPECT_EQ(visibleWindows(), before) << "no question asked";
    }
    EXPECT_TRUE(m_history.translations().isEmpty());
    EXPECT_TRUE(m_favorites.favorites().isEmpty());
}

TEST_F(HistoryWindows, SheetsShowInsideThePopoverAndGoBackToTheTranslator) {
    HistoryManager& history = HistoryManager::shared();
    history.clearHistory();
    history.addTranslation("hello", "merhaba", lang("en"), lang("tr"), TranslationService::Google);
    auto manager = std::make_unique<MenuBarManager>();
    manager->showPopover();
    PopoverWindow* popover = manager->popover();
    MenuBarView* view = manager->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popover));
    ASSERT_TRUE(waitUntil([&] { return popover->contentSize().height() == view->sizeHint().height(); }));
    const QSize translatorSize = popover->contentSize();
    ASSERT_NE(translatorSize, QSize(400, 500));
    const QSet<QWidget*> windows = visibleWindows();

    struct Case {
        QString open;
        const char* title;
        // How the sheet is left: its back button, or a card click that loads the translation.
        bool byCard;
    };
    for (const Case& c : {Case{Notifications::OpenHistoryWindow, "Translation History", false},
                          Case{Notifications::OpenFavoritesWindow, "Saved Translations", false},
                          Case{Notifications::OpenHistoryWindow, "Translation History", true}}) {
        SCOPED_TRACE(c.open.toStdString() + (c.byCard ? " card" : " back"));
        NotificationCenter::shared().post(c.open);
        QPointer<SavedTranslationsView> sheet = view->sheet();
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->window(), popover) << "inside the popover, no window of its own";
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_FALSE(view->textInput()->isVisible()) << "the sheet takes the translator's place";
        EXPECT_TRUE(waitUntil([&] { return popover->contentSize() == QSize(400, 500); }));
        EXPECT_EQ(sheet->geometry(), QRect(QPoint(0, 0), QSize(400, 500)));
        EXPECT_EQ(visibleWindows(), windows) << c.title;

        if (c.byCard) {
            ASSERT_EQ(sheet->listView()->model()->rowCount(), 1);
            clickCard(*sheet, 0);
            EXPECT_TRUE(waitUntil([&] { return view->inputText() == QLatin1String("hello"); }));
            EXPECT_FALSE(view->showHistoryWindow());
        } else {
            QTest::mouseClick(sheet->backButton(), Qt::LeftButton);
            EXPECT_FALSE(view->showHistoryWindow());
            EXPECT_FALSE(view->showFavoritesWindow());
        }
        EXPECT_TRUE(manager->isPopoverShown()) << "a click in the sheet is a click in the popover";
        EXPECT_FALSE(view->sheet());
        EXPECT_TRUE(waitUntil([&] { return sheet.isNull(); })) << "made anew each time";
        EXPECT_TRUE(view->textInput()->isVisible());
        EXPECT_TRUE(waitUntil([&] { return popover->contentSize().height() == view->sizeHint().height(); }));
        EXPECT_EQ(popover->contentSize().width(), translatorSize.width());
    }

    // Escape closes the popover wherever the keyboard is, a sheet included.
    NotificationCenter::shared().post(Notifications::OpenFavoritesWindow);
    ASSERT_TRUE(view->sheet());
    QTest::keyClick(view->sheet(), Qt::Key_Escape);
    EXPECT_FALSE(manager->isPopoverShown());
    // Only its own ways out take the sheet down.
    manager->showPopover();
    EXPECT_TRUE(view->sheet() && view->sheet()->isVisible());
    EXPECT_EQ(popover->contentSize(), QSize(400, 500));
    history.clearHistory();
}

// A long list opens with its first rows only and fetches more as the user scrolls to its end; changes
// beyond what the list fetched reach the store without touching the rows shown.
TEST_F(HistoryWindows, TenThousandFavoritesAreFetchedAsTheListScrolls) {
    QList<TranslationHistoryItem> items;
    const QString text = QString(200, QLatin1Char('a')).replace(7, 1, QLatin1Char(' '));
    for (int i = 0; i < 10000; ++i)
        items << TranslationHistoryItem::make(text + QString::number(i), text, lang("en"), lang("tr"),
                                              TranslationService::Google);
    UserDefaults::standard().setText(FavoritesManager::userDefaultsKey,
                                     LazyText::of(TranslationHistoryItem::encodeList(items)));
    m_favorites.loadFavorites();
    FavoritesView favorites(m_favorites);
    showAndSettle(favorites);
    QListView* list = favorites.listView();
    const int first = list->model()->rowCount();
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 200) << "the list holds the rows it can show, not all 10,000";
    EXPECT_FALSE(list->visualRect(list->model()->index(0, 0)).isEmpty());

    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    QCoreApplication::processEvents();
    EXPECT_GT(list->model()->rowCount(), first) << "scrolling to the end fetches more";

    const int fetched = list->model()->rowCount();
    m_favorites.removeFavorite(items.last());
    EXPECT_EQ(list->model()->rowCount(), fetched);
    EXPECT_EQ(m_favorites.favorites().size(), 9999);
    m_favorites.removeFavorite(items.first());
    EXPECT_EQ(list->model()->rowCount(), fetched - 1);
    m_favorites.addFavorite(items.first());
    EXPECT_EQ(list->model()->rowCount(), fetched);
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), items.first().sourceText);

    // A sheet opened again starts from the first rows.
    FavoritesView again(m_favorites);
    EXPECT_EQ(again.listView()->model()->rowCount(), first);
    m_favorites.clearFavorites();
}
