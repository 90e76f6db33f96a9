// The real binary where the screen is small for it: the test display's 1600 x 1000 at twice the scale is
// 800 x 500, as on a laptop at 150 % or a large screen at 200 %. The translator hangs whole under its tray
// icon, before and after a translation, and what does not fit scrolls: its action row is reached and used.
// The settings window is made smaller to fit.
#include "AppRoad.h"
#include "Desktop.h"
#include "TestUtils.h"

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>

using SmallScreenRoad = AppRoad;

namespace {

constexpr int scale = 2;
const QRect screen(0, 0, 1600, 1000);

bool wholeBelow(const QRect& frame, const QRect& icon) {
    // The icon's last row may round to the popover's first at this scale.
    return screen.contains(frame) && frame.top() >= icon.bottom();
}

} // namespace

TEST_F(SmallScreenRoad, TheTranslatorStaysWholeUnderItsIconAndItsActionRowIsReached) {
    m_app.setEnvironmentVariable(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale));
    m_app.setSetting(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
    m_app.setSetting(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    // Its action row is the last one: no alternatives below it.
    m_app.setSetting(QStringLiteral("defaultTranslationService"), QStringLiteral("deepl"));
    const std::optional<TrayTranslator> translator = startAndOpenTranslator();
    ASSERT_TRUE(translator);
    const std::optional<QRect> icon = translator->icon;
    const std::optional<quint32> popover = translator->window;
    std::optional<QRect> frame = AppUnderTest::windowGeometry(*popover);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(wholeBelow(*frame, *icon)) << frame->height();

    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
    const QString text = QStringLiteral("a text long enough to fill several lines of the output card, so "
                                        "that the translator is taller than this screen once it shows the "
                                        "translation and its action row below it");
    ASSERT_TRUE(
        Desktop::xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text}));
    ASSERT_TRUE(Desktop::xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    ASSERT_TRUE(waitUntil([&] { return history().size() == 1; }, 20000));
    // The popover grows with the output, up to the room under the icon.
    ASSERT_TRUE(Desktop::waitUntilSettled([&] {
        frame = AppUnderTest::windowGeometry(*popover);
        return frame ? QByteArray::number(frame->height()) : QByteArray();
    }));
    EXPECT_TRUE(wholeBelow(*frame, *icon)) << frame->height();

    // The wheel over the band beside the panel scrolls to the end; the copy button is the row's first.
    const auto wheel = [&](const QString& button) {
        for (int i = 0; i < 30; ++i) {
            if (!Desktop::xdotool({QStringLiteral("mousemove"), QString::number(frame->left() + 6 * scale),
                                   QString::number(frame->center().y()), QStringLiteral("click"), button}))
                return false;
        }
        return true;
    };
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("-"));
    const qsizetype beforeScroll = m_app.log().size();
    ASSERT_TRUE(wheel(QStringLiteral("5")));
    const QString translated = history().at(0).toObject().value(QStringLiteral("translatedText")).toString();
    EXPECT_TRUE(clickControlUntil(QStringLiteral("copy button"), beforeScroll,
                                  [&] { return clipboard->text() == translated; }, scale))
        << clipboard->text().toStdString();

    // The settings window, 700 x 550 where there is room, is made to fit. The header's settings button,
    // scrolled back into sight: the tray menu's entries lie elsewhere at this scale than a test can tell.
    const qsizetype beforeScrollBack = m_app.log().size();
    ASSERT_TRUE(wheel(QStringLiteral("4")));
    std::optional<quint32> settings;
    ASSERT_TRUE(clickControlUntil(QStringLiteral("settings button"), beforeScrollBack, [&] {
        settings = m_app.waitForWindow(AppUnderTest::settingsWindow, 0);
        return settings.has_value();
    }, scale));
    std::optional<QRect> window;
    ASSERT_TRUE(Desktop::waitUntilSettled([&] {
        window = AppUnderTest::windowGeometry(*settings);
        return window ? QByteArray::number(window->y()) : QByteArray();
    }));
    EXPECT_TRUE(screen.contains(*window)) << window->width() << " x " << window->height();
    EXPECT_EQ(m_app.stop(), 0);
}
