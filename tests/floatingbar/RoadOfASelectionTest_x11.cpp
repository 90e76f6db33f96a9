// The whole road of a selection in one process on a real display: a word double-clicked in another X
// client, the selection monitor, the floating bar at the pointer, a click on it, and the popover with the
// translation from the local web API.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "floatingbar/FloatingBarManager.h"
#include "floatingbar/FloatingBarView.h"
#include "floatingbar/FloatingBarWindowController.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/x11/X11Platform.h"
#include "selection/AccessibilityService.h"
#include "selection/SelectionMonitor.h"
#include "ui/PopoverWindow.h"
#include "ui/SymbolButton.h"
#include "ui/TranslationPopoverView.h"
#include "ui/WindowWorkspaces.h"

#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

bool xdo(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

QStringList moveTo(QPoint p) {
    return {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
}

class RoadOfASelection : public ::testing::Test {
protected:
    void SetUp() override {
        installPlatform(std::make_unique<X11Platform>());
        xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
        ASSERT_TRUE(m_api.start());
        m_api.useAsApiBase();
        UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
        UserDefaults::standard().set(QStringLiteral("defaultSourceLanguage"), QStringLiteral("auto"));
        UserDefaults::standard().set(QStringLiteral("floatingBarTranslationService"),
                                     QStringLiteral("deepl"));
    }

    void TearDown() override {
        if (HasFailure())
            AppUnderTest::saveFailureScreenshot(QStringLiteral("road-of-a-selection-failure"));
        m_monitor.reset();
        m_reader.reset();
        m_manager.reset();
    }

    std::optional<RunningApplication> frontmost() const {
        return platform().workspace().frontmostApplication();
    }

    DevApiServer m_api;
    TextWindowProcess m_client{QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH)};
    std::unique_ptr<FloatingBarManager> m_manager;
    std::unique_ptr<AccessibilityService> m_reader;
    std::unique_ptr<SelectionMonitor> m_monitor;
};

} // namespace

TEST_F(RoadOfASelection, SelectClickAndReadTheTranslation) {
    ASSERT_TRUE(m_client.start({QStringLiteral("--text"), QStringLiteral("hello there")}));
    ASSERT_TRUE(waitUntil([&] { return frontmost() && frontmost()->processId == m_client.processId(); }));

    // The wiring the application makes at start-up.
    m_manager = std::make_unique<FloatingBarManager>();
    m_reader = std::make_unique<AccessibilityService>();
    m_monitor = std::make_unique<SelectionMonitor>(*m_reader);
    FloatingBarManager* manager = m_manager.get();
    m_monitor->onSelectionChanged = [manager](const QString& text, const QRect& rect, const QString& language,
                                              bool editable) {
        if (!text.isEmpty())
            manager->showFloatingBar(text, language, editable, rect);
    };

    // Select: double-click the first word.
    const QPoint word =
        m_client.lineEditGeometry().topLeft() + QPoint(14, m_client.lineEditGeometry().height() / 2);
    ASSERT_TRUE(xdo(moveTo(word) + QStringList{QStringLiteral("click"), QStringLiteral("--repeat"),
                                               QStringLiteral("2"), QStringLiteral("--delay"),
                                               QStringLiteral("80"), QStringLiteral("1")}));

    // The bar appears above and to the right of the pointer, on every workspace, without taking the focus.
    ASSERT_TRUE(waitUntil(
        [&] { return manager->floatingBar() && manager->floatingBar()->window()->isVisible(); }, 10000));
    FloatingBarWindowController* bar = manager->floatingBar();
    EXPECT_EQ(bar->selectedText(), QStringLiteral("hello"));
    // Where the controller put it, even if the window manager had other ideas when it mapped the bar.
    EXPECT_TRUE(waitUntil(
        [&] { return bar->window()->geometry().bottomLeft() + QPoint(0, 1) == QCursor::pos(); }, 10000))
        << "bar at " << bar->window()->geometry().x() << "," << bar->window()->geometry().y();
    // The pointer on the bar holds it however slowly the checks below run.
    SymbolButton* translate = bar->barView()->translateButton();
    const QPoint button = translate->mapToGlobal(translate->rect().center());
    ASSERT_TRUE(xdo(moveTo(button)));
    ASSERT_TRUE(waitUntil([&] { return bar->barView()->isHovering(); }, 10000));
    EXPECT_TRUE(WindowWorkspaces::isOnAllWorkspaces(bar->window()));
    const QString states = QString::fromUtf8(
        runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(bar->window()->winId()),
                                      QStringLiteral("_NET_WM_STATE"), QStringLiteral("_NET_WM_DESKTOP")})
            .value_or(QByteArray()));
    EXPECT_TRUE(states.contains(QLatin1String("_NET_WM_STATE_ABOVE"))) << states.toStdString();
    // Sticky, or (openbox, which has no sticky state) on desktop 0xFFFFFFFF.
    EXPECT_TRUE(states.contains(QLatin1String("_NET_WM_STATE_STICKY")) ||
                states.contains(QLatin1String("4294967295")))
        << states.toStdString();
    settleDisplay();
    ASSERT_TRUE(frontmost());
    EXPECT_EQ(frontmost()->processId, m_client.processId());

    // Click: the bar's translate button.
    ASSERT_TRUE(bar->window()->isVisible());
    ASSERT_TRUE(xdo({QStringLiteral("click"), QStringLiteral("1")}));

    // The popover opens below the bar and shows the translation from the web API.
    ASSERT_TRUE(waitUntil([&] { return bar->translationPopoverView() != nullptr; }, 10000));
    TranslationPopoverView* view = bar->translationPopoverView();
    ASSERT_TRUE(waitUntil([&] { return !view->isLoading(); }, 10000));
    EXPECT_FALSE(view->error()) << view->error().value_or(QString()).toStdString();
    EXPECT_EQ(view->translatedText(), QStringLiteral("merhaba"));
    EXPECT_EQ(view->editor()->toPlainText(), QStringLiteral("merhaba"));
    EXPECT_TRUE(bar->translationPopover()->isVisible());
    EXPECT_TRUE(bar->window()->isVisible());
    const QJsonObject request = m_api.lastRequest();
    EXPECT_EQ(request.value("path").toString(), QStringLiteral("/api/translate/deepl"));
    EXPECT_EQ(request.value("body").toObject().value("trigger_source").toString(),
              QStringLiteral("floating_bar"));
    const QRect popover = bar->translationPopover()->geometry();
    const QRect screen = QGuiApplication::screenAt(QCursor::pos())->geometry();
    EXPECT_TRUE(screen.contains(popover));
    // The popover came on the user's click, so it has the keyboard: its text can be copied, and Escape
    // closes it. The bar stays, held by the pointer on it.
    PopoverWindow* opened = bar->translationPopover();
    ASSERT_TRUE(waitUntil(
        [&] {
            return QGuiApplication::focusWindow() == opened->windowHandle() && view->editor()->hasFocus();
        },
        10000));
    ASSERT_TRUE(xdo({QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")}));
    EXPECT_TRUE(
        waitUntil([&] { return QGuiApplication::clipboard()->text() == QStringLiteral("merhaba"); }, 10000));
    ASSERT_TRUE(xdo({QStringLiteral("key"), QStringLiteral("Escape")}));
    EXPECT_TRUE(waitUntil([&] { return !opened->isVisible(); }, 10000));
    EXPECT_TRUE(bar->window()->isVisible());

    // Open it again, then a click elsewhere (in the other application) closes the popover and the bar.
    ASSERT_TRUE(xdo({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil(
        [&] { return bar->translationPopover() != opened && bar->translationPopover()->isVisible(); },
        10000));
    const QRect textEdit = m_client.textEditGeometry();
    const QPoint elsewhere = textEdit.bottomRight() - QPoint(8, 8);
    ASSERT_FALSE(popover.contains(elsewhere));
    ASSERT_TRUE(xdo(moveTo(elsewhere) + QStringList{QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(waitUntil(
        [&] { return !bar->window()->isVisible() && !bar->translationPopover()->isVisible(); }, 10000));
}
