// The tray road of the real binary, as a user takes it: a click on the tray icon opens the translator,
// typed text and Return translate it, the history opens from the translator's header as a sheet inside
// the popover and loads an earlier translation back from its card, a second click on the icon closes the
// popover, and the keys shown in the icon's menu act while it is open: Ctrl+, opens the settings and Ctrl+Q
// ends the application.
#include "AppRoad.h"
#include "Desktop.h"
#include "TestUtils.h"

#include <QClipboard>
#include <QGuiApplication>
#include <functional>
#include <gtest/gtest.h>

namespace {

class MenuBarRoad : public AppRoad {
protected:
    // Types a text into the popover's input over what it holds and presses Return; waits for the answer
    // to be recorded.
    void translate(const QString& text, int historySize) {
        const qsizetype before = requestsTo(QStringLiteral("/api/translate/")).size();
        ASSERT_TRUE(Desktop::xdotool(
            {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+a")}));
        ASSERT_TRUE(
            Desktop::xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text}));
        ASSERT_TRUE(Desktop::xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        ASSERT_TRUE(
            waitUntil([&] { return requestsTo(QStringLiteral("/api/translate/")).size() > before; }, 20000));
        ASSERT_TRUE(waitUntil([&] { return history().size() == historySize; }, 20000));
    }

    QString historyEntry(int index, const char* field) const {
        return history().at(index).toObject().value(QLatin1String(field)).toString();
    }
};

} // namespace

TEST_F(MenuBarRoad, TrayClickTranslateHistoryLoadBackThenSettingsAndQuitByTheMenusKeys) {
    m_app.setSetting(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
    m_app.setSetting(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    m_app.setSetting(QStringLiteral("defaultTranslationService"), QStringLiteral("google"));
    ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));

    const std::optional<QRect> icon = waitForTrayIcon();
    ASSERT_TRUE(icon) << "no tray icon";
    ASSERT_TRUE(Desktop::clickAt(icon->center()));
    const std::optional<quint32> popover = m_app.waitForWindow(AppUnderTest::translatorWindow);
    ASSERT_TRUE(popover);
    const std::optional<QRect> frame = AppUnderTest::windowGeometry(*popover);
    ASSERT_TRUE(frame);
    // It hangs under the icon and stays on the screen.
    EXPECT_GE(frame->top(), icon->bottom());
    EXPECT_LE(frame->right(), 1600);

    // The input has the keyboard a moment after the popover opened: type then, and Return.
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
    translate(QStringLiteral("good morning"), 1);
    const QJsonObject body = requestsTo(QStringLiteral("/api/translate/")).first().value("body").toObject();
    EXPECT_EQ(body.value("text").toString(), QStringLiteral("good morning"));
    EXPECT_EQ(body.value("trigger_source").toString(), QStringLiteral("menu"));
    EXPECT_EQ(body.value("target_language").toString(), QStringLiteral("tr"));
    // What the output shows goes to the history.
    EXPECT_EQ(historyEntry(0, "translatedText"), QStringLiteral("günaydın"));
    translate(QStringLiteral("hello"), 2);
    translate(QStringLiteral("book"), 3);
    EXPECT_EQ(historyEntry(0, "sourceText"), QStringLiteral("book"));
    EXPECT_EQ(historyEntry(1, "translatedText"), QStringLiteral("merhaba"));
    const QList<quint32> windowsBefore = m_app.windows();

    // The header's history button. The sheet takes the popover's content, 400 x 500; the arrow above it
    // stays.
    const QSize sheet(400, 500);
    std::optional<QRect> withSheet;
    ASSERT_TRUE(clickControlUntil(QStringLiteral("history button"), 0, [&] {
        withSheet = AppUnderTest::windowGeometry(*popover);
        return withSheet && withSheet->width() == sheet.width() && withSheet->height() - sheet.height() >= 0 &&
               withSheet->height() - sheet.height() <= 9;
    })) << "the popover holds the history sheet";
    EXPECT_EQ(m_app.windows(), windowsBefore) << "no window of its own";

    // The second card holds the second translation; a click on its texts loads it, once drawn.
    ASSERT_TRUE(Desktop::waitUntilSettled([&] {
        const QImage image = AppUnderTest::windowImage(*popover);
        return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    }));
    AppUnderTest::saveScreenshot(QStringLiteral("menubar-road-history-sheet"));
    const qsizetype requests = requestsTo(QStringLiteral("/api/translate/")).size();
    const QPoint sheetOrigin = withSheet->topLeft() + QPoint(0, withSheet->height() - sheet.height());
    ASSERT_TRUE(Desktop::clickAt(sheetOrigin + QPoint(100, 68 + 133 + 40)));
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::optional<QRect> now = AppUnderTest::windowGeometry(*popover);
            return now && now->height() != withSheet->height();
        },
        20000))
        << "the sheet goes back to the translator";
    EXPECT_EQ(m_app.windows(AppUnderTest::translatorWindow), QList<quint32>{*popover})
        << "the popover stayed open";
    // The loaded translation moves to the top of the history; nothing is translated.
    ASSERT_TRUE(waitUntil([&] { return historyEntry(0, "sourceText") == QLatin1String("hello"); }, 20000));
    EXPECT_EQ(historyEntry(0, "translatedText"), QStringLiteral("merhaba"));
    EXPECT_EQ(history().size(), 3);

    // The input holds the loaded text again: select it as a user would and copy it.
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("-"));
    const std::optional<QRect> shown = AppUnderTest::windowGeometry(*popover);
    ASSERT_TRUE(shown);
    ASSERT_TRUE(Desktop::clickAt(shown->topLeft() + QPoint(120, 156)));
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
    ASSERT_TRUE(Desktop::xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"),
                                  QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")}));
    EXPECT_TRUE(waitUntil([&] { return clipboard->text() == QLatin1String("hello"); }, 20000))
        << clipboard->text().toStdString();
    // Loading sent nothing: the copy came after any request the load could have started.
    EXPECT_EQ(requestsTo(QStringLiteral("/api/translate/")).size(), requests);
    AppUnderTest::saveScreenshot(QStringLiteral("menubar-road-loaded"));

    // The favorites sheet left in the popover goes with the application.
    ASSERT_TRUE(clickControlUntil(QStringLiteral("favorites button"), 0, [&] {
        const std::optional<QRect> now = AppUnderTest::windowGeometry(*popover);
        return now && now->height() == withSheet->height();
    }));
    EXPECT_EQ(m_app.windows(AppUnderTest::translatorWindow), QList<quint32>{*popover});

    // A second click on the icon closes the popover.
    ASSERT_TRUE(Desktop::clickAt(icon->center()));
    EXPECT_TRUE(m_app.waitForNoWindow(AppUnderTest::translatorWindow));

    // The icon's menu opens under the icon of the tray at the top, clear of it, not at the pointer. The
    // keys its entries show act while it is open and holds the keyboard: Ctrl+, opens the settings, Ctrl+Q
    // quits.
    const struct {
        const char* keys;
        std::function<bool()> done;
    } menuKeys[] = {
        // Active and drawn before the menu opens again: a right click while the window still comes up
        // may open no menu.
        {"ctrl+comma",
         [&] {
             const std::optional<quint32> settings = m_app.waitForWindow(AppUnderTest::settingsWindow);
             return settings && Desktop::waitForActiveWindow(*settings) && Desktop::waitUntilSettled([&] {
                        const QImage image = AppUnderTest::windowImage(*settings);
                        return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
                    });
         }},
        {"ctrl+q", [&] { return waitUntil([&] { return !m_app.isRunning(); }, 20000); }},
    };
    for (const auto& row : menuKeys) {
        SCOPED_TRACE(row.keys);
        ASSERT_TRUE(m_app.openTrayMenu(icon->center()));
        EXPECT_GE(m_app.lastTrayMenu().top(), icon->bottom() + 1);
        EXPECT_FALSE(m_app.lastTrayMenu().intersects(*icon));
        ASSERT_TRUE(waitUntil(&Desktop::keyboardIsGrabbed));
        ASSERT_TRUE(Desktop::xdotool({QStringLiteral("key"), QString::fromLatin1(row.keys)}));
        EXPECT_TRUE(row.done());
    }
    // A clean end: no crash, no leak report.
    EXPECT_EQ(m_app.stop(), 0);
}
