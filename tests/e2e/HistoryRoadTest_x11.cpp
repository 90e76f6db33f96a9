// The real binary: two translations typed in the tray popover, the history opened from the translator's
// header as a sheet inside the popover, and the first translation loaded back into the translator from
// its card, with the popover open throughout.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "TestUtils.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

bool xdo(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

bool clickAt(QPoint p) {
    return xdo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
                QStringLiteral("click"), QStringLiteral("1")});
}

int translateRequests(const DevApiServer& api) {
    int count = 0;
    for (const QJsonObject& entry : api.requestLog())
        count += entry.value("path").toString().startsWith(QLatin1String("/api/translate/")) ? 1 : 0;
    return count;
}

class HistoryRoad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_api.start()); }
    void TearDown() override {
        if (HasFailure()) {
            AppUnderTest::saveScreenshot(QStringLiteral("history-road-failure"));
            std::fprintf(stderr, "The app's log:\n%s\n", qPrintable(m_app.log()));
        }
    }

    // Types a text into the popover's input and presses Return; waits for the answer to be recorded.
    void translate(const QString& text, int historySize) {
        const int before = translateRequests(m_api);
        ASSERT_TRUE(
            xdo({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+a")}));
        ASSERT_TRUE(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text}));
        ASSERT_TRUE(xdo({QStringLiteral("key"), QStringLiteral("Return")}));
        ASSERT_TRUE(waitUntil([&] { return translateRequests(m_api) > before; }, 20000));
        ASSERT_TRUE(waitUntil([&] { return history().size() == historySize; }, 20000));
    }

    QJsonArray history() const {
        return QJsonDocument::fromJson(
                   m_app.setting(QStringLiteral("translationHistory")).toString().toUtf8())
            .array();
    }

    DevApiServer m_api;
    AppUnderTest m_app;
};

} // namespace

TEST_F(HistoryRoad, TwoTranslationsThenTheFirstLoadedBackFromTheHistoryWindow) {
    m_app.setSetting(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
    m_app.setSetting(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    m_app.setSetting(QStringLiteral("defaultTranslationService"), QStringLiteral("google"));
    ASSERT_TRUE(m_app.start(&m_api));

    // A second launch opens the running instance's popover, with the keyboard in its input.
    EXPECT_EQ(m_app.launchAgain(), 0);
    const std::optional<quint32> popover = m_app.waitForWindow(QStringLiteral("^Quillora$"));
    ASSERT_TRUE(popover);
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
    translate(QStringLiteral("hello"), 1);
    translate(QStringLiteral("book"), 2);
    EXPECT_EQ(history().at(0).toObject().value("sourceText").toString(), QStringLiteral("book"));
    EXPECT_EQ(history().at(1).toObject().value("translatedText").toString(), QStringLiteral("merhaba"));
    const QList<quint32> windowsBefore = m_app.windows();

    // The header's history button, left of the favorites and settings buttons at the top right.
    const std::optional<QRect> frame = AppUnderTest::windowGeometry(*popover);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(clickAt(frame->topLeft() + QPoint(289, 40)));
    // The sheet takes the popover's content, 400 x 500; the arrow above it stays.
    const QSize sheet(400, 500);
    std::optional<QRect> withSheet;
    ASSERT_TRUE(waitUntil(
        [&] {
            withSheet = AppUnderTest::windowGeometry(*popover);
            return withSheet && withSheet->width() == sheet.width() &&
                   withSheet->height() - sheet.height() >= 0 && withSheet->height() - sheet.height() <= 9;
        },
        20000))
        << "the popover holds the history sheet";
    EXPECT_EQ(m_app.windows(), windowsBefore) << "no window of its own";
    spinFor(400);
    AppUnderTest::saveScreenshot(QStringLiteral("history-road-sheet"));

    // The second card holds the first translation; a click on its texts loads it.
    const int requests = translateRequests(m_api);
    const QPoint sheetOrigin = withSheet->topLeft() + QPoint(0, withSheet->height() - sheet.height());
    ASSERT_TRUE(clickAt(sheetOrigin + QPoint(100, 68 + 133 + 40)));
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::optional<QRect> now = AppUnderTest::windowGeometry(*popover);
            return now && now->height() != withSheet->height();
        },
        20000))
        << "the sheet goes back to the translator";
    EXPECT_EQ(m_app.windows(QStringLiteral("^Quillora$")), QList<quint32>{*popover})
        << "the popover stayed open";
    // The loaded translation moves to the top of the history; nothing is translated.
    ASSERT_TRUE(waitUntil(
        [&] { return history().at(0).toObject().value("sourceText").toString() == QLatin1String("hello"); },
        20000));
    EXPECT_EQ(history().at(0).toObject().value("translatedText").toString(), QStringLiteral("merhaba"));
    EXPECT_EQ(history().size(), 2);
    spinFor(500);
    EXPECT_EQ(translateRequests(m_api), requests);

    // The input holds the first text again: select it as a user would and copy it.
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("-"));
    const std::optional<QRect> shown = AppUnderTest::windowGeometry(*popover);
    ASSERT_TRUE(shown);
    ASSERT_TRUE(clickAt(shown->topLeft() + QPoint(120, 142)));
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
    ASSERT_TRUE(xdo({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+a"),
                     QStringLiteral("ctrl+c")}));
    EXPECT_TRUE(waitUntil([&] { return clipboard->text() == QLatin1String("hello"); }, 20000))
        << clipboard->text().toStdString();
    AppUnderTest::saveScreenshot(QStringLiteral("history-road-loaded"));

    // The favorites sheet left open at quit goes with the application.
    ASSERT_TRUE(clickAt(shown->topLeft() + QPoint(321, 40)));
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::optional<QRect> now = AppUnderTest::windowGeometry(*popover);
            return now && now->height() == withSheet->height();
        },
        20000));
    EXPECT_EQ(m_app.windows(QStringLiteral("^Quillora$")), QList<quint32>{*popover});
    EXPECT_EQ(m_app.stop(), 0);
}
