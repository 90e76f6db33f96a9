#include "floatingbar/FloatingBarView.h"

#include "TestUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "services/SystemLanguage.h"
#include "ui/SymbolButton.h"

#include <QEnterEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void store(const char* key, const char* value) {
    UserDefaults::standard().set(QString::fromLatin1(key), QString::fromLatin1(value));
}

} // namespace

TEST(FloatingBarView, TargetIsTheStoredTargetUnlessTheTextIsAlreadyInIt) {
    store("defaultTargetLanguage", "de");
    store("defaultSourceLanguage", "fr");
    EXPECT_EQ(FloatingBarView::chooseTargetLanguage(QStringLiteral("en")), QStringLiteral("de"));
    EXPECT_EQ(FloatingBarView::chooseTargetLanguage(QStringLiteral("auto")), QStringLiteral("de"));
    EXPECT_EQ(FloatingBarView::chooseTargetLanguage(QStringLiteral("de")), QStringLiteral("fr"));
    store("defaultSourceLanguage", "auto");
    EXPECT_EQ(FloatingBarView::chooseTargetLanguage(QStringLiteral("de")), QStringLiteral("en"));
    // A stored target outside the table stands for English, so English text goes to the source language.
    store("defaultSourceLanguage", "fr");
    for (const char* stored : {"auto", "xx"}) {
        store("defaultTargetLanguage", stored);
        EXPECT_EQ(FloatingBarView::chooseTargetLanguage(QStringLiteral("en")), QStringLiteral("fr")) << stored;
        EXPECT_EQ(FloatingBarView::chooseTargetLanguage(QStringLiteral("de")), QStringLiteral("en")) << stored;
    }
}

TEST(FloatingBarView, MissingSettingsUseTheSystemLanguageAndTurkish) {
    const QString system = systemLanguageCode();
    EXPECT_EQ(FloatingBarView::chooseTargetLanguage(QStringLiteral("xx")), system);
    // Text already in the system language goes to the default source language, Turkish.
    EXPECT_EQ(FloatingBarView::chooseTargetLanguage(system),
              system == QLatin1String("tr") ? QStringLiteral("en") : QStringLiteral("tr"));
}

TEST(FloatingBarView, ClickingTheBarTranslatesAndAnnouncesTheTrigger) {
    store("defaultTargetLanguage", "ja");
    QStringList targets;
    QList<QVariantMap> triggers;
    QObject context;
    NotificationCenter::shared().addObserver(Notifications::TranslateWithTriggerSource, &context,
                                             [&](const QVariantMap& info) { triggers << info; });
    FloatingBarView view(
        QStringLiteral("en"), QStringLiteral("hello"), [&](const QString& t) { targets << t; }, false, false,
        false);
    view.show();
    QTest::mouseClick(view.translateButton(), Qt::LeftButton);
    // The bar itself, next to its buttons, translates too.
    QTest::mouseClick(&view, Qt::LeftButton, {},
                      QPoint(view.barRect().center().x(), view.barRect().bottom() - 2));
    // Outside the visible bar nothing happens.
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(targets, QStringList({QStringLiteral("ja"), QStringLiteral("ja")}));
    ASSERT_EQ(triggers.size(), 2);
    EXPECT_EQ(triggers[0], QVariantMap({{QStringLiteral("trigger_source"), QStringLiteral("floating_bar")}}));
}

TEST(FloatingBarView, ReportsEveryChangeOfHoverAndOptionsMenu) {
    QList<QPair<bool, bool>> reports;
    FloatingBarView view(QStringLiteral("en"), QStringLiteral("hello"), {}, false, false, false, {}, {},
                         [&](bool hovering, bool options) {
                             reports.append({hovering, options});
                         });
    view.show();
    QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), QPointF(20, 20));
    QApplication::sendEvent(&view, &enter);
    QTest::mouseClick(view.optionsButton(), Qt::LeftButton);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&view, &leave);
    QTest::mouseClick(view.optionsButton(), Qt::LeftButton);
    const QList<QPair<bool, bool>> expected{{true, false}, {true, true}, {false, true}, {false, false}};
    EXPECT_EQ(reports, expected);
}
