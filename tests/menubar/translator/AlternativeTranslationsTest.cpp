#include "menubar/translator/AlternativeTranslations.h"

#include "DevApiTest.h"
#include "TestUtils.h"
#include "menubar/translator/AttachedPopover.h"
#include "menubar/translator/TranslationChip.h"
#include "services/Language.h"
#include "services/TranslationManagerService.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

using Group = TranslationResponse::AlternativeTranslation;

Group group(const QString& type, int count, const QString& prefix = QStringLiteral("t")) {
    Group g;
    g.word = QStringLiteral("word");
    g.type = type;
    for (int i = 0; i < count; ++i)
        g.translations.append(QStringLiteral("%1%2").arg(prefix).arg(i));
    return g;
}

QList<int> sharesTaken(const QList<Group>& groups, const QList<TranslationItem>& items) {
    QList<int> shares(groups.size(), 0);
    for (const TranslationItem& item : items)
        ++shares[groups.indexOf(item.altGroup)];
    return shares;
}

} // namespace

TEST(AlternativeTranslations, SharesFifteenChipsAmongTheGroups) {
    struct Case {
        const char* name;
        QList<int> counts;
        QList<int> expected;
    };
    const QList<Case> cases = {
        {"one group of 20", {20}, {15}},
        {"two full groups", {20, 20}, {8, 7}},
        {"four groups", {9, 9, 9, 9}, {4, 4, 4, 3}},
        {"six groups", {5, 5, 5, 5, 5, 5}, {3, 3, 3, 2, 2, 2}},
        {"an unfilled share is not passed on", {2, 12}, {2, 7}},
        {"a group without translations", {0, 20}, {0, 7}},
        {"sixteen groups", QList<int>(16, 1), QList<int>(15, 1) << 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<Group> groups;
        for (int i = 0; i < c.counts.size(); ++i)
            groups.append(group(QStringLiteral("noun"), c.counts.at(i), QStringLiteral("g%1-").arg(i)));
        const QList<TranslationItem> items = AlternativeTranslations::displayItems(groups);
        EXPECT_EQ(sharesTaken(groups, items), c.expected);
        // Each group's first translations, in order.
        if (c.expected.first() > 0) {
            EXPECT_EQ(items.first().translation, QStringLiteral("g0-0"));
        }
    }
    EXPECT_TRUE(AlternativeTranslations::displayItems(std::nullopt).isEmpty());
    EXPECT_TRUE(AlternativeTranslations::displayItems(QList<Group>{}).isEmpty());
}

TEST(AlternativeTranslations, LabelsTheEightKnownPartsOfSpeechInAnyCase) {
    const QList<std::tuple<QString, QString, QString>> cases = {
        {"noun", "n.", "Noun"},
        {"NoUn", "n.", "Noun"},
        {"adjective", "adj.", "Adjective"},
        {"verb", "v.", "Verb"},
        {"adverb", "adv.", "Adverb"},
        {"pronoun", "pron.", "Pronoun"},
        {"preposition", "prep.", "Preposition"},
        {"conjunction", "conj.", "Conjunction"},
        {"Interjection", "interj.", "Interjection"},
        {"Numeral", "", "Numeral"},
        {"", "", ""},
    };
    for (const auto& [type, abbreviation, title] : cases) {
        const TranslationChip::PartOfSpeech label = TranslationChip::partOfSpeechLabel(type);
        EXPECT_EQ(label.abbreviation, abbreviation) << type.toStdString();
        EXPECT_EQ(label.title, title) << type.toStdString();
    }
}

class AlternativeTranslationsViewTest : public DevApiTest {
protected:
    TranslationResponse translate(const QString& text) {
        std::optional<TranslationResponse> response;
        TranslationManagerService::shared().translate(
            text, Language::find(QStringLiteral("en")), Language::find(QStringLiteral("tr")),
            [&](Result<TranslationResponse, TranslationError> result) {
                ASSERT_TRUE(result);
                response = result.value();
            });
        EXPECT_TRUE(waitUntil([&] { return response.has_value(); }, 10000));
        return response.value_or(TranslationResponse{});
    }
};

TEST_F(AlternativeTranslationsViewTest, ShowsTheChipsOfAResponseAndNothingWithoutThem) {
    QWidget host;
    host.setFixedWidth(340);
    AlternativeTranslations view(&host);
    view.setGeometry(0, 0, 340, 200);
    host.show();

    const TranslationResponse word = translate(QStringLiteral("book"));
    ASSERT_TRUE(word.alternativeTranslations.has_value());
    view.setAlternativeTranslations(word.alternativeTranslations);
    EXPECT_TRUE(view.isVisible());
    const QList<TranslationChip*> chips = view.chips();
    ASSERT_EQ(chips.size(), 3);
    EXPECT_EQ(chips.at(0)->translation(), QStringLiteral("kitap"));
    EXPECT_EQ(chips.at(0)->categoryType(), QStringLiteral("noun"));
    EXPECT_EQ(chips.at(0)->backTranslations(), QStringList{QStringLiteral("book")});
    EXPECT_EQ(chips.at(1)->backTranslations(),
              (QStringList{QStringLiteral("book"), QStringLiteral("book (2)")}));
    // A group without a back-translation map.
    EXPECT_TRUE(chips.at(2)->backTranslations().isEmpty());

    const TranslationResponse sentence = translate(QStringLiteral("a whole sentence"));
    EXPECT_FALSE(sentence.alternativeTranslations.has_value());
    view.setAlternativeTranslations(sentence.alternativeTranslations);
    EXPECT_FALSE(view.isVisible());
    EXPECT_TRUE(view.chips().isEmpty());
    view.setAlternativeTranslations(QList<Group>{});
    EXPECT_FALSE(view.isVisible());
}

TEST(AlternativeTranslationsView, ScrollAreaStaysBetweenItsBounds) {
    QWidget host;
    auto* column = new QVBoxLayout(&host);
    AlternativeTranslations* view = new AlternativeTranslations;
    column->addWidget(view);
    host.setFixedWidth(340);
    host.show();
    QScrollArea* scroll = view->scrollArea();

    view->setAlternativeTranslations(QList<Group>{group(QStringLiteral("noun"), 1)});
    EXPECT_TRUE(waitUntil([&] { return scroll->height() == AlternativeTranslations::minimumScrollHeight; }));

    // Two rows of chips fit; the scroll area grows to hold them.
    view->setAlternativeTranslations(
        QList<Group>{group(QStringLiteral("noun"), 8, QStringLiteral("alternative "))});
    const int twoRows = scroll->widget()->heightForWidth(scroll->width());
    ASSERT_GT(twoRows, AlternativeTranslations::minimumScrollHeight);
    ASSERT_LT(twoRows, AlternativeTranslations::maximumScrollHeight);
    EXPECT_TRUE(waitUntil([&] { return scroll->height() == twoRows; }));

    view->setAlternativeTranslations(
        QList<Group>{group(QStringLiteral("noun"), 15, QStringLiteral("a rather long alternative "))});
    EXPECT_EQ(view->chips().size(), 15);
    EXPECT_TRUE(waitUntil([&] { return scroll->height() == AlternativeTranslations::maximumScrollHeight; }));
    EXPECT_GT(scroll->widget()->heightForWidth(scroll->width()),
              AlternativeTranslations::maximumScrollHeight);
}

TEST(AlternativeTranslationsView, BackTranslationsOpenAfterTheRestAndCloseOnLeaving) {
    QWidget host;
    host.resize(400, 300);
    host.show();
    TranslationChip chip(QStringLiteral("kitap"), {QStringLiteral("book")}, QStringLiteral("noun"), &host);
    TranslationChip plain(QStringLiteral("defter"), {}, QStringLiteral("noun"), &host);

    // Leaving before 0.3 s cancels the opening; the popover comes 0.3 s after the next entry.
    chip.handleHover(true);
    EXPECT_TRUE(chip.isPopoverPending());
    // The loop does not turn during the rest, so a slow machine cannot stretch it past the delay.
    QTest::qSleep(100);
    chip.handleHover(false);
    EXPECT_FALSE(chip.isPopoverPending());
    runQueuedWork(TranslationChip::hoverDelayMs);
    EXPECT_FALSE(chip.isPopoverShown());
    QElapsedTimer rest;
    rest.start();
    chip.handleHover(true);
    ASSERT_TRUE(waitUntil([&] { return chip.isPopoverShown(); }, 10000));
    // Qt's coarse timers may fire up to 5 % early.
    EXPECT_GE(rest.elapsed(), TranslationChip::hoverDelayMs * 95 / 100);
    EXPECT_TRUE(chip.isHovered());
    const auto* title = chip.popover()->content()->findChild<QLabel*>();
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("kitap"));
    chip.handleHover(false);
    EXPECT_FALSE(chip.isPopoverShown());
    EXPECT_FALSE(chip.isHovered());

    // Without back-translations a chip only changes colour.
    plain.handleHover(true);
    EXPECT_TRUE(plain.isHovered());
    EXPECT_FALSE(plain.isPopoverPending());
    runQueuedWork(TranslationChip::hoverDelayMs);
    EXPECT_FALSE(plain.isPopoverShown());
}
