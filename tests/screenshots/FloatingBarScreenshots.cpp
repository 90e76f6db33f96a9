// Screenshots of the floating bar, its options menu and the translation popover (loading, translated,
// error) in light and dark appearance. Runs only when QUILLORA_SCREENSHOT_DIR names where to save them;
// tests/screenshots/take.sh floatingbar does that under Xvfb.
#include "DevApiServer.h"
#include "ScreenshotTest.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "floatingbar/FloatingBarView.h"
#include "floatingbar/FloatingBarWindowController.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11Platform.h"
#include "ui/MenuPicker.h"
#include "ui/PopoverWindow.h"
#include "ui/Theme.h"
#include "ui/TranslationPopoverView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QScreen>
#include <gtest/gtest.h>
#include <memory>

namespace {

class FloatingBarScreenshots : public ScreenshotTest {
protected:
    void SetUp() override {
        ScreenshotTest::SetUp();
        if (IsSkipped())
            return;
        installPlatform(std::make_unique<X11Platform>());
        ASSERT_TRUE(m_api.start());
        m_api.useAsApiBase();
        UserDefaults::standard().set(QStringLiteral("floatingBarTranslationService"),
                                     QStringLiteral("google"));
        ASSERT_TRUE(
            m_client.start({QStringLiteral("--text"), QStringLiteral("thank you for the lovely evening")}));
    }

    // Saves the part of the screen around `area`.
    void shoot(const QString& name, QRect area) { ScreenshotTest::shoot(name, area, 24); }

    QRect popoverArea(FloatingBarWindowController& bar) {
        return bar.window()->geometry().united(bar.translationPopover()->geometry());
    }

    DevApiServer m_api;
    TextWindowProcess m_client{QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH)};
};

} // namespace

TEST_F(FloatingBarScreenshots, LightAndDark) {
    const QRect field = m_client.lineEditGeometry();
    const QPoint pointer = field.topLeft() + QPoint(60, field.height() / 2);
    for (bool dark : {false, true}) {
        setDark(dark);
        ASSERT_EQ(Theme::dark(), dark);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");

        FloatingBarWindowController bar(QStringLiteral("thank you"), QStringLiteral("en"), false);
        bar.showWindow(QRect(pointer, QSize(1, 1)));
        QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), QPointF(20, 20));
        QApplication::sendEvent(bar.barView(), &enter);
        shoot(QStringLiteral("bar-") + mode, bar.window()->geometry());

        bar.barView()->setShowingOptions(true);
        shoot(QStringLiteral("options-") + mode,
              bar.window()->geometry().united(bar.barView()->optionsMenu()->geometry()));
        bar.barView()->setShowingOptions(false);

        ASSERT_TRUE(m_api.failNext(QStringLiteral("slow"), 1, 4000));
        bar.showTranslationPopover(QStringLiteral("thank you"), QStringLiteral("en"), QStringLiteral("tr"));
        shoot(QStringLiteral("popover-loading-") + mode, popoverArea(bar));

        m_api.resetFailures();
        bar.showTranslationPopover(QStringLiteral("thank you"), QStringLiteral("en"), QStringLiteral("tr"));
        ASSERT_TRUE(waitUntil([&] { return !bar.translationPopoverView()->isLoading(); }, 10000));
        shoot(QStringLiteral("popover-translated-") + mode, popoverArea(bar));

        const QString longText = QStringLiteral(
            "The floating bar appears next to the pointer whenever text is selected in another application, "
            "and a click on it opens this popover with the translation.");
        bar.showTranslationPopover(longText, QStringLiteral("auto"), QStringLiteral("de"));
        ASSERT_TRUE(waitUntil([&] { return !bar.translationPopoverView()->isLoading(); }, 10000));
        shoot(QStringLiteral("popover-long-") + mode, popoverArea(bar));

        TranslationPopoverView* view = bar.translationPopoverView();
        view->toggleFullSourceText();
        ASSERT_TRUE(view->fullTextPopover() && view->fullTextPopover()->isShown());
        shoot(QStringLiteral("popover-showall-") + mode,
              popoverArea(bar).united(view->fullTextPopover()->geometry()));
        view->toggleFullSourceText();

        // The longest names, and an open list.
        view->sourcePicker()->setValue(QStringLiteral("zh-cn"));
        view->targetPicker()->setValue(QStringLiteral("zh-tw"));
        view->targetPicker()->showPopup();
        QWidget* list = view->targetPicker()->view()->window();
        ASSERT_TRUE(waitUntil([&] { return list->isVisible(); }));
        shoot(QStringLiteral("popover-picker-") + mode, popoverArea(bar).united(list->geometry()));
        view->targetPicker()->hidePopup();

        ASSERT_TRUE(m_api.failNext(QStringLiteral("500")));
        bar.showTranslationPopover(QStringLiteral("thank you"), QStringLiteral("en"), QStringLiteral("tr"));
        ASSERT_TRUE(waitUntil([&] { return !bar.translationPopoverView()->isLoading(); }, 10000));
        shoot(QStringLiteral("popover-error-") + mode, popoverArea(bar));
        bar.translationPopover()->performClose();
    }
}
