// What taskbars and window switchers see of the real binary: every window it opens carries the
// application's own icon, and the translator is the application's taskbar entry while "Show in Dock" is
// on, named and iconed, and has none while it is off; the floating bar, the popovers and the toasts are
// never entries.
#include "AppRoad.h"
#include "Desktop.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
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

TEST_F(TaskbarRoad, TheFloatingBarPopoversAndToastsAreNoEntries) {
    // Ctrl+Alt+T and Ctrl+Alt+R in the stored form.
    m_app.setSetting(QStringLiteral("KeyboardShortcuts_translateSelection"),
                     QStringLiteral(R"({"carbonKeyCode":17,"carbonModifiers":6144})"));
    m_app.setSetting(QStringLiteral("KeyboardShortcuts_translateAndReplace"),
                     QStringLiteral(R"({"carbonKeyCode":15,"carbonModifiers":6144})"));
    ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start({QStringLiteral("--text"), QStringLiteral("quillora there")}));
    const QRect field = client.lineEditGeometry();
    // The shortcuts act on the client's selection with the client in front.
    const auto press = [&](const QString& keys) {
        return Desktop::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                 QString::number(client.windowId())}) &&
               Desktop::waitForActiveWindow(client.windowId()) && Desktop::xdotool({QStringLiteral("key"), keys});
    };
    // A window of the app matching `name` that is not among `seen`, and its states, read while it is
    // there: a toast may go as the next one comes.
    struct Shown {
        quint32 window = 0;
        QString states;
    };
    const auto newWindow = [&](const QString& name, const QList<quint32>& seen) {
        std::optional<Shown> found;
        waitUntil(
            [&] {
                for (const quint32 window : m_app.windows(name)) {
                    const QString states =
                        seen.contains(window) ? QString()
                                              : property(window, QStringLiteral("_NET_WM_STATE"), QStringLiteral("32a"));
                    if (states.contains(QLatin1String("_NET_WM_STATE")))
                        found = Shown{window, states};
                }
                return found.has_value();
            },
            20000);
        return found;
    };
    std::optional<Shown> bar;
    const struct {
        const char* name;
        std::function<std::optional<Shown>()> open;
    } rows[] = {
        {"floating bar",
         [&] {
             if (!Desktop::clickAt(field.topLeft() + QPoint(14, field.height() / 2), 1, 2))
                 return std::optional<Shown>();
             return bar = newWindow(AppUnderTest::floatingBarWindow, {});
         }},
        {"the bar's popover",
         [&] {
             const std::optional<QRect> frame = bar ? AppUnderTest::windowGeometry(bar->window) : std::nullopt;
             // Its translate button is the left part.
             if (!frame || !Desktop::clickAt(frame->topLeft() + QPoint(30, 30)))
                 return std::optional<Shown>();
             return newWindow(AppUnderTest::translationWindow, {});
         }},
        {"the shortcut's popover",
         [&] {
             const QList<quint32> before = m_app.windows(AppUnderTest::translationWindow);
             return press(QStringLiteral("ctrl+alt+t")) ? newWindow(AppUnderTest::translationWindow, before)
                                                        : std::nullopt;
         }},
        {"a toast",
         [&] {
             const QList<quint32> before = m_app.windows();
             return press(QStringLiteral("ctrl+alt+r")) ? newWindow(QString(), before) : std::nullopt;
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<Shown> shown = row.open();
        ASSERT_TRUE(shown);
        EXPECT_TRUE(shown->states.contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR"))) << shown->states.toStdString();
        EXPECT_TRUE(shown->states.contains(QLatin1String("_NET_WM_STATE_SKIP_PAGER")));
    }
    EXPECT_EQ(m_app.stop(), 0);
}
