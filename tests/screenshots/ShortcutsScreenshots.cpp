// Screenshots of the settings window's Shortcuts tab (empty, recording, recorded, an alert) in light and
// dark appearance. Runs only when QUILLORA_SCREENSHOT_DIR names where to save them;
// tests/screenshots/take.sh shortcuts does that under Xvfb.
#include "FakePlatform.h"
#include "ScreenshotTest.h"
#include "TestUtils.h"
#include "keyboardshortcuts/Recorder.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsView.h"
#include "settings/ShortcutsTabView.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <gtest/gtest.h>

using namespace KeyboardShortcuts;

namespace {

QPalette shortcutsPaletteFor(bool dark, const QPalette& light) {
    if (!dark)
        return light;
    QPalette palette = light;
    const QColor window(50, 50, 52), base(30, 30, 30), text(235, 235, 235);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    return palette;
}

void shoot(const QString& dir, const QString& name, const QRect& area) {
    saveSettledShot(dir, name, area);
}

} // namespace

TEST(ShortcutsScreenshots, LightAndDark) {
    const QString dir = qEnvironmentVariable("QUILLORA_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "QUILLORA_SCREENSHOT_DIR is not set";
    QDir().mkpath(dir);
    const QPalette saved = QApplication::palette();
    SettingsView::setShortcutsTabFactory([] { return new ShortcutsTabView; });
    const Shortcut taken(Key::g, Modifier::control | Modifier::option);
    fakePlatform().fakeHotKeys().takenBySystem.append(
        {int(taken.carbonKeyCode()), int(taken.carbonModifiers())});

    for (bool dark : {false, true}) {
        QApplication::setPalette(shortcutsPaletteFor(dark, saved));
        ASSERT_EQ(Theme::dark(), dark);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");
        resetForTesting();
        UserDefaults::standard().resetForTesting();

        SettingsView view;
        view.setSelectedTab(SettingsView::Shortcuts);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.activateWindow();
        ASSERT_TRUE(waitUntil([&] { return view.isActiveWindow(); }));
        const QRect area = view.frameGeometry().adjusted(-12, -12, 12, 12);
        auto* tab = view.findChild<ShortcutsTabView*>();
        ASSERT_TRUE(tab);
        const QList<Recorder*> recorders = tab->recorders();
        shoot(dir, QStringLiteral("shortcuts-empty-%1").arg(mode), area);

        recorders[1]->focus();
        ASSERT_TRUE(waitUntil([&] { return recorders[1]->isRecording(); }));
        shoot(dir, QStringLiteral("shortcuts-recording-%1").arg(mode), area);
        QTest::keyClick(recorders[1], Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);

        setShortcut(Shortcut(Key::m, Modifier::control | Modifier::option | Modifier::command),
                    Name(QStringLiteral("toggleMenuBar")));
        setShortcut(Shortcut(Key::f5, Modifier::shift), Name(QStringLiteral("startOCR")));
        shoot(dir, QStringLiteral("shortcuts-recorded-%1").arg(mode), area);

        recorders[2]->focus();
        ASSERT_TRUE(waitUntil([&] { return recorders[2]->isRecording(); }));
        QTest::keyClick(recorders[2], Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
        QMessageBox* alert = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            alert = view.findChild<QMessageBox*>(QStringLiteral("recorderAlert"));
            return alert && alert->isVisible();
        }));
        shoot(dir, QStringLiteral("shortcuts-alert-%1").arg(mode), area.united(alert->frameGeometry()));
        alert->buttons().first()->click();
        view.close();
    }
    QApplication::setPalette(saved);
}
