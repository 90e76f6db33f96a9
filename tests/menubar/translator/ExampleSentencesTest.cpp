#include "menubar/translator/ExampleSentences.h"

#include "TestUtils.h"
#include "menubar/translator/ExampleSentenceRow.h"
#include "menubar/translator/ExampleSentencesPopover.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Segment = ExampleSentenceRow::Segment;

Segment plain(const char* text) {
    return {QString::fromUtf8(text), false};
}
Segment bold(const char* text) {
    return {QString::fromUtf8(text), true};
}

} // namespace

TEST(ExampleSentences, EveryBracketBecomesTheSourceWordHighlighted) {
    struct Case {
        const char* sentence;
        const char* sourceWord;
        QList<Segment> expected;
    };
    const QList<Case> cases = {
        {"I [ran] home.", "run", {plain("I "), bold("run"), plain(" home.")}},
        {"[Run], [run]!", "run", {bold("run"), plain(", "), bold("run"), plain("!")}},
        {"No brackets here.", "here", {plain("No brackets here.")}},
        {"Empty [] brackets.", "run", {plain("Empty "), bold("run"), plain(" brackets.")}},
        {"Gone [ran] word.", "", {plain("Gone  word.")}},
        {"Only [ opens.", "x", {plain("Only [ opens.")}},
        {"Across [a\nline] breaks.", "x", {plain("Across [a\nline] breaks.")}},
        {"[a [b] c]", "x", {bold("x"), plain(" c]")}},
        {"Ünïcödé [şey] 😀.", "şey", {plain("Ünïcödé "), bold("şey"), plain(" 😀.")}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExampleSentenceRow::attributedSentence(QString::fromUtf8(c.sentence),
                                                         QString::fromUtf8(c.sourceWord)),
                  c.expected)
            << c.sentence;
    }
    // Rich text shows the sentence's own characters, never markup from it.
    const QString html = ExampleSentenceRow::html({plain("a <b> & "), bold("<i>")});
    EXPECT_TRUE(html.startsWith(QStringLiteral("a &lt;b&gt; &amp; <span")));
    EXPECT_TRUE(html.contains(QStringLiteral("font-weight:600")));
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;i&gt;</span>")));
}

TEST(ExampleSentences, ButtonCountsTheSentencesAndOpensThemInAPopover) {
    QWidget host;
    host.resize(340, 100);
    ExampleSentences view(&host);
    view.setGeometry(0, 0, 340, 40);
    host.show();

    view.setExampleSentences(std::nullopt, QStringLiteral("run"));
    EXPECT_FALSE(view.isVisible());
    view.setExampleSentences(QStringList{}, QStringLiteral("run"));
    EXPECT_FALSE(view.isVisible());

    const QStringList sentences = {QStringLiteral("I [ran]."), QStringLiteral("We [run]."),
                                   QStringLiteral("They ran.")};
    view.setExampleSentences(sentences, QStringLiteral("run"));
    ASSERT_TRUE(view.isVisible());
    QTest::mouseClick(&view, Qt::LeftButton);
    ASSERT_TRUE(view.isPopoverShown());
    ExampleSentencesPopover* content = view.popoverContent();
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->size(), QSize(300, 300));
    const QList<ExampleSentenceRow*> rows = content->rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows.at(0)->textLabel()->text().startsWith(QStringLiteral("I <span")));
    EXPECT_TRUE(rows.at(0)->textLabel()->text().endsWith(QStringLiteral(">run</span>.")));
    EXPECT_EQ(rows.at(2)->textLabel()->text(), QStringLiteral("They ran."));

    // A second click keeps it open; new sentences close it.
    QTest::mouseClick(&view, Qt::LeftButton);
    EXPECT_TRUE(view.isPopoverShown());
    view.setExampleSentences(QStringList{QStringLiteral("Other.")}, QStringLiteral("x"));
    EXPECT_FALSE(view.isPopoverShown());
}
