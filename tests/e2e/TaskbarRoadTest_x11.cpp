// What taskbars and window switchers see of the real binary: every window it opens carries the
// application's own icon, and the translator is the application's taskbar entry while "Show in Dock" is
// on, named and iconed, and has none while it is off.
#include "AppRoad.h"
#include "Desktop.h"
#include "TestUtils.h"
#include "ui/ImageAsset.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QString property(quint32 window, const QString& name, const QString& format) {
    return QString::fromUtf8(runTool(QStringLiteral("xprop"),
                                     {QStringLiteral("-id"), QString::number(window), QStringLiteral("-notype"),
                                      QStringLiteral("-f"), name, format, QStringLiteral(" = $0+\\n"), name})
                                 .value_or(QByteArray()));
}

// The 32 x 32 picture of the window's _NET_WM_ICON; null when it holds none.
QImage windowIcon32(quint32 window) {
    const QString text = property(window, QStringLiteral("_NET_WM_ICON"), QStringLiteral("32c"));
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0)
        return {};
    QList<quint32> values;
    for (const QString& value : text.mid(equals + 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
        values.append(value.trimmed().toUInt());
    for (qsizetype at = 0; at + 2 <= values.size();) {
        const quint32 width = values[at];
        const quint32 height = values[at + 1];
        const qsizetype pixels = qsizetype(width) * height;
        if (at + 2 + pixels > values.size())
            break;
        if (width == 32 && height == 32) {
            QImage image(32, 32, QImage::Format_ARGB32);
            for (int i = 0; i < 32 * 32; ++i)
                image.setPixel(i % 32, i / 32, values[at + 2 + i]);
            return image;
        }
        at += 2 + pixels;
    }
    return {};
}

bool showsAppIcon(quint32 window) {
    const QImage shown = windowIcon32(window);
    const QImage expected =
        ImageAsset::pixmap(QStringLiteral("AppIcon"), QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    if (shown.isNull() || expected.size() != shown.size())
        return false;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QColor a = QColor::fromRgba(shown.pixel(x, y));
            const QColor b = QColor::fromRgba(expected.pixel(x, y));
            if (std::abs(a.alpha() - b.alpha()) > 2 || std::abs(a.red() - b.red()) > 2 ||
                std::abs(a.green() - b.green()) > 2 || std::abs(a.blue() - b.blue()) > 2)
                return false;
        }
    }
    return true;
}

bool skipsTaskbar(quint32 window) {
    return property(window, QStringLiteral("_NET_WM_STATE"), QStringLiteral("32a"))
        .contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR"));
}

} // namespace

using TaskbarRoad = AppRoad;

TEST_F(TaskbarRoad, EveryWindowCarriesTheAppIconAndTheTranslatorFollowsShowInDock) {
    // "Show in Dock" is on by default: the translator is the entry, under the application's name.
    const std::optional<TrayTranslator> shown = startAndOpenTranslator();
    ASSERT_TRUE(shown);
    const QRect icon = shown->icon;
    EXPECT_TRUE(waitUntil([&] { return showsAppIcon(shown->window); }, 20000)) << "translator";
    EXPECT_FALSE(skipsTaskbar(shown->window));
    ASSERT_TRUE(Desktop::clickAt(icon.center()));
    ASSERT_TRUE(m_app.waitForNoWindow(AppUnderTest::translatorWindow));

    const std::optional<SettingsWindow> settings = openSettingsFromTray();
    ASSERT_TRUE(settings);
    EXPECT_TRUE(showsAppIcon(settings->id)) << "settings";

    QStringList menu = AppUnderTest::trayMenuEnd;
    menu.prepend(QString());
    menu.prepend(QStringLiteral("About Quillora"));
    ASSERT_TRUE(m_app.chooseFromTrayMenu(icon.center(), menu, QStringLiteral("About Quillora")));
    const std::optional<quint32> about = m_app.waitForWindow(QStringLiteral("^About Quillora$"));
    ASSERT_TRUE(about);
    EXPECT_TRUE(showsAppIcon(*about)) << "about";
    EXPECT_EQ(m_app.stop(), 0);

    // Off: no entry, though the translator still shows the icon where a window switcher lists it.
    m_app.setSetting(QStringLiteral("showInDock"), false);
    const std::optional<TrayTranslator> hidden = startAndOpenTranslator();
    ASSERT_TRUE(hidden);
    EXPECT_TRUE(waitUntil([&] { return skipsTaskbar(hidden->window); }, 20000));
    EXPECT_TRUE(showsAppIcon(hidden->window));
    EXPECT_EQ(m_app.stop(), 0);
}
