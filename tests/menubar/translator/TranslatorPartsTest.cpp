#include "TestUtils.h"
#include "menubar/translator/LanguagePickerView.h"
#include "menubar/translator/LanguageSelector.h"
#include "menubar/translator/PrimaryButtonStyle.h"
#include "menubar/translator/ServicePickerView.h"
#include "menubar/translator/TextInputView.h"
#include "menubar/translator/TranslateButton.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "ui/ProgressSpinner.h"
#include "ui/SymbolButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <tuple>

namespace {

QStringList names(const QList<Language>& languages) {
    QStringList result;
    for (const Language& language : languages)
        result.append(language.name);
    return result;
}

// Collects the posts of some notifications, in order.
class PostLog {
public:
    explicit PostLog(const QStringList& names) {
        for (const QString& name : names) {
            NotificationCenter::shared().addObserver(name, &m_context, [this, name](const QVariantMap& info) {
                posts.append({name, info});
            });
        }
    }
    QList<std::pair<QString, QVariantMap>> posts;

private:
    QObject m_context;
};

} // namespace

TEST(LanguagePicker, SearchMatchesNameThenCodeInTableOrder) {
    const QList<Language> source = Language::allLanguages();
    const QList<Language> target = LanguageSelector::targetLanguages();
    ASSERT_EQ(source.size(), 105);
    ASSERT_EQ(target.size(), 104);
    EXPECT_EQ(source.first().name, QStringLiteral("Automatic"));

    struct Case {
        QList<Language> languages;
        QString query;
        QStringList expected;
    };
    const QList<Case> cases = {
        {source, QStringLiteral("ENG"), {QStringLiteral("Bengali"), QStringLiteral("English")}},
        {source,
         QStringLiteral("zh"),
         {QStringLiteral("Chinese Simplified"), QStringLiteral("Chinese Traditional")}},
        {source, QStringLiteral("iw"), {QStringLiteral("Hebrew")}},
        {source, QStringLiteral("tr"), {QStringLiteral("Chinese Traditional"), QStringLiteral("Turkish")}},
        {source,
         QStringLiteral(" "),
         {QStringLiteral("Chinese Simplified"), QStringLiteral("Chinese Traditional"),
          QStringLiteral("Haitian Creole"), QStringLiteral("Kurdish (Kurmanji)"),
          QStringLiteral("Myanmar (Burmese)"), QStringLiteral("Scots Gaelic")}},
        {source, QStringLiteral("auto"), {QStringLiteral("Automatic")}},
        {target, QStringLiteral("auto"), {}},
        {source, QStringLiteral("qqq"), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(names(LanguagePickerView::filteredLanguages(c.languages, c.query)), c.expected)
            << c.query.toStdString();
    EXPECT_EQ(LanguagePickerView::filteredLanguages(target, QString()).size(), 104);

    // Case follows the user's locale: in Turkish the small "I" is "ı" and the capital "i" is "İ".
    const QStringList capitalI{QStringLiteral("Icelandic"), QStringLiteral("Igbo"), QStringLiteral("Indonesian"),
                               QStringLiteral("Irish"), QStringLiteral("Italian")};
    const QList<std::tuple<QLocale::Language, QString, QStringList>> localeCases = {
        {QLocale::Turkish, QStringLiteral("ı"), capitalI},
        {QLocale::Turkish, QStringLiteral("IGBO"), {QStringLiteral("Igbo")}},
        {QLocale::Turkish, QStringLiteral("igbo"), {}},
        {QLocale::Turkish, QStringLiteral("İNDİ"), {QStringLiteral("Hindi")}},
        {QLocale::Turkish, QStringLiteral("ENG"), {QStringLiteral("Bengali"), QStringLiteral("English")}},
        {QLocale::English, QStringLiteral("ı"), {}},
        {QLocale::English, QStringLiteral("igbo"), {QStringLiteral("Igbo")}},
    };
    const QLocale before;
    for (const auto& [language, query, expected] : localeCases) {
        QLocale::setDefault(QLocale(language));
        EXPECT_EQ(names(LanguagePickerView::filteredLanguages(source, query)), expected)
            << QLocale::languageToString(language).toStdString() << " " << query.toStdString();
    }
    QLocale::setDefault(before);
}

TEST(LanguagePicker, TypingArrowsAndReturnChooseALanguage) {
    Language chosen;
    int dismissed = 0;
    LanguagePickerView picker(
        Language::find(QStringLiteral("tr")), Language::allLanguages(),
        [&](const Language& l) { chosen = l; }, [&] { ++dismissed; });
    picker.resize(240, 400);
    picker.show();
    EXPECT_FALSE(picker.clearButton()->isVisibleTo(&picker));
    QTest::keyClicks(picker.searchField(), QStringLiteral("rman"));
    EXPECT_TRUE(picker.clearButton()->isVisibleTo(&picker));
    EXPECT_EQ(names(picker.shownLanguages()),
              QStringList({QStringLiteral("German"), QStringLiteral("Kurdish (Kurmanji)")}));

    // The arrows stop at the ends.
    QTest::keyClick(picker.searchField(), Qt::Key_Down);
    QTest::keyClick(picker.searchField(), Qt::Key_Down);
    QTest::keyClick(picker.searchField(), Qt::Key_Down);
    EXPECT_EQ(picker.currentRow(), 1);
    QTest::keyClick(picker.searchField(), Qt::Key_Up);
    QTest::keyClick(picker.searchField(), Qt::Key_Return);
    EXPECT_EQ(chosen.code, QStringLiteral("de"));
    EXPECT_EQ(dismissed, 1);

    // Clearing brings the whole list back; Return without a search or a row chooses nothing.
    picker.clearButton()->click();
    EXPECT_EQ(picker.shownLanguages().size(), 105);
    QTest::keyClick(picker.searchField(), Qt::Key_Return);
    EXPECT_EQ(dismissed, 1);
    // Choosing the chosen language again still closes.
    picker.choose(Language::find(QStringLiteral("de")));
    EXPECT_EQ(dismissed, 2);
}

TEST(LanguageSelector, PicksGoToTheOwnerAndTheSwapOnlyAsks) {
    Language source = Language::find(QStringLiteral("auto"));
    Language target = Language::find(QStringLiteral("en"));
    LanguageSelector selector([&](const Language& l) { source = l; }, [&](const Language& l) { target = l; });
    selector.setLanguages(source, target);
    selector.resize(340, 60);
    selector.show();
    PostLog log({Notifications::SwapTranslation});

    EXPECT_FALSE(selector.swapButton()->isEnabled());
    selector.swapLanguages();
    EXPECT_TRUE(log.posts.isEmpty());

    selector.openTargetPicker();
    ASSERT_NE(selector.targetPicker(), nullptr);
    EXPECT_EQ(selector.targetPicker()->shownLanguages().size(), 104);
    selector.targetPicker()->choose(Language::find(QStringLiteral("ja")));
    EXPECT_EQ(target.code, QStringLiteral("ja"));
    EXPECT_EQ(selector.targetPicker(), nullptr);

    selector.openSourcePicker();
    ASSERT_NE(selector.sourcePicker(), nullptr);
    EXPECT_EQ(selector.sourcePicker()->shownLanguages().first().code, QStringLiteral("auto"));
    selector.sourcePicker()->choose(Language::find(QStringLiteral("fr")));
    selector.setLanguages(source, target);
    EXPECT_EQ(selector.sourceButton()->text(), QStringLiteral("French"));
    EXPECT_TRUE(selector.swapButton()->isEnabled());

    // A reopened picker starts with an empty search.
    selector.openSourcePicker();
    selector.sourcePicker()->setSearchText(QStringLiteral("x"));
    selector.closePickers();
    selector.openSourcePicker();
    EXPECT_TRUE(selector.sourcePicker()->searchText().isEmpty());
    selector.closePickers();

    selector.swapButton()->click();
    ASSERT_EQ(log.posts.size(), 1);
    EXPECT_EQ(log.posts.first().second, QVariantMap({{QStringLiteral("isManualSwap"), true}}));
    EXPECT_EQ(source.code, QStringLiteral("fr"));
}

TEST(TextInput, ReturnSubmitsShiftReturnAndKeypadEnterBreakTheLineAndButtonsAsk) {
    bool capturing = false;
    TextInputView input([&](bool value) { capturing = value; });
    input.resize(340, 200);
    input.show();
    PostLog log({Notifications::StartTranslation, Notifications::StartOCRCapture});

    input.focusEditor();
    QTest::keyClick(input.editor(), Qt::Key_Return);
    EXPECT_TRUE(log.posts.isEmpty());
    EXPECT_TRUE(input.text().isEmpty());
    EXPECT_TRUE(input.placeholder()->isVisibleTo(&input));
    EXPECT_FALSE(input.clearButton()->isVisibleTo(&input));

    QTest::keyClicks(input.editor(), QStringLiteral("one"));
    QTest::keyClick(input.editor(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(input.editor(), QStringLiteral("two"));
    EXPECT_EQ(input.text(), QStringLiteral("one\ntwo"));
    EXPECT_FALSE(input.placeholder()->isVisibleTo(&input));
    EXPECT_TRUE(input.listenButton()->isVisibleTo(&input));
    // The keypad's Enter is the editor's: a line break, nothing posted.
    QTest::keyClick(input.editor(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(input.text(), QStringLiteral("one\ntwo\n"));
    EXPECT_TRUE(log.posts.isEmpty());
    QTest::keyClick(input.editor(), Qt::Key_Return);
    EXPECT_EQ(input.text(), QStringLiteral("one\ntwo\n"));
    ASSERT_EQ(log.posts.size(), 1);
    EXPECT_EQ(log.posts.first().first, Notifications::StartTranslation);
    EXPECT_EQ(log.posts.first().second,
              QVariantMap({{QStringLiteral("trigger_source"), QStringLiteral("menu")}}));

    // Typed text never runs under the clear button, with or without a scroll bar beside it.
    const auto textRight = [&input] {
        const QWidget* viewport = input.editor()->viewport();
        return viewport->mapTo(&input, QPoint(viewport->width(), 0)).x();
    };
    EXPECT_LE(textRight(), input.clearButton()->geometry().left());
    input.editor()->setPlainText(QString(QStringLiteral("a long line of words\n")).repeated(30));
    QCoreApplication::processEvents();
    ASSERT_TRUE(input.editor()->verticalScrollBar()->isVisibleTo(&input));
    EXPECT_LE(textRight(), input.clearButton()->geometry().left());

    input.ocrButton()->click();
    EXPECT_TRUE(capturing);
    EXPECT_EQ(log.posts.last().first, Notifications::StartOCRCapture);
    input.clearButton()->click();
    EXPECT_TRUE(input.text().isEmpty());
}

TEST(TranslateButton, PressRulesTooltipsAndHover) {
    int actions = 0;
    PostLog log({Notifications::TranslateWithTriggerSource});
    TranslateButton button([&] {
        ++actions;
        EXPECT_TRUE(log.posts.isEmpty()); // the action runs before the announcement
    });
    button.resize(200, 36);
    button.show();
    struct Case {
        bool translating;
        bool empty;
        QString toolTip;
        QString text;
        bool acts;
    };
    const QList<Case> cases = {
        {false, true, QStringLiteral("Enter text to translate"), QStringLiteral("Translate"), false},
        {true, true, QStringLiteral("Enter text to translate"), QStringLiteral("Translating..."), false},
        {true, false, QStringLiteral("Translation in progress..."), QStringLiteral("Translating..."), false},
        {false, false, QStringLiteral("Translate text"), QStringLiteral("Translate"), true},
    };
    for (const Case& c : cases) {
        actions = 0;
        log.posts.clear();
        button.setState(c.translating, c.empty);
        EXPECT_EQ(button.toolTip(), c.toolTip);
        EXPECT_EQ(button.text(), c.text);
        EXPECT_EQ(button.spinner()->isVisibleTo(&button), c.translating);
        EXPECT_TRUE(button.isEnabled());
        button.click();
        EXPECT_EQ(actions, c.acts ? 1 : 0);
        EXPECT_EQ(log.posts.size(), c.acts ? 1 : 0);
    }
    EXPECT_EQ(log.posts.first().second,
              QVariantMap({{QStringLiteral("trigger_source"), QStringLiteral("menu")}}));
    EXPECT_EQ(button.height(), 36);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(PrimaryButtonStyle::isHovering(&button));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(PrimaryButtonStyle::isHovering(&button));
}

TEST(ServicePicker, FourRowsInOrderAndAChoiceCloses) {
    TranslationService chosen = TranslationService::Google;
    int dismissed = 0;
    ServicePickerView picker(
        TranslationService::Gemini, [&](TranslationService s) { chosen = s; }, [&] { ++dismissed; });
    ASSERT_EQ(picker.rows().size(), 4);
    QStringList rows;
    for (QAbstractButton* row : picker.rows())
        rows.append(row->text());
    EXPECT_EQ(rows, QStringList({QStringLiteral("Google"), QStringLiteral("ChatGPT"),
                                 QStringLiteral("Gemini"), QStringLiteral("DeepL")}));
    picker.rows().at(3)->click();
    EXPECT_EQ(chosen, TranslationService::DeepL);
    EXPECT_EQ(picker.selectedService(), TranslationService::DeepL);
    picker.rows().at(3)->click();
    EXPECT_EQ(dismissed, 2);
}
