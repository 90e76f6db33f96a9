// Screenshots of the settings window's Shortcuts tab (empty, recording, recorded, an alert, a stored one
// another program holds) in light and dark appearance. Runs only when QUILLORA_SCREENSHOT_DIR names where
// to save them; tests/screenshots/take.sh shortcuts does that under Xvfb.
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

using ShortcutsScreenshots = ScreenshotTest;

} // namespace

TEST_F(ShortcutsScreenshots, LightAndDark) {
    SettingsView::setShortcutsTabFactory([] { return new ShortcutsTabView; });
    const Shortcut taken(Key::g, Modifier::control | Modifier::option);
    fakePlatform().fakeHotKeys().takenBySystem.append(
        {int(taken.carbonKeyCode()), int(taken.carbonModifiers())});

    for (bool dark : {false, true}) {
        setDark(dark);
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
        shoot(QStringLiteral("shortcuts-empty-%1").arg(mode), area, 0);

        recorders[1]->focus();
        ASSERT_TRUE(waitUntil([&] { return recorders[1]->isRecording(); }));
        shoot(QStringLiteral("shortcuts-recording-%1").arg(mode), area, 0);
        QTest::keyClick(recorders[1], Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);

        setShortcut(Shortcut(Key::m, Modifier::control | Modifier::option | Modifier::command),
                    Name(QStringLiteral("toggleMenuBar")));
        setShortcut(Shortcut(Key::f5, Modifier::shift), Name(QStringLiteral("startOCR")));
        shoot(QStringLiteral("shortcuts-recorded-%1").arg(mode), area, 0);

        recorders[2]->focus();
        ASSERT_TRUE(waitUntil([&] { return recorders[2]->isRecording(); }));
        QTest::keyClick(recorders[2], Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
        QMessageBox* alert = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            alert = view.findChild<QMessageBox*>(QStringLiteral("recorderAlert"));
            return alert && alert->isVisible();
        }));
        shoot(QStringLiteral("shortcuts-alert-%1").arg(mode), area.united(alert->frameGeometry()), 0);
        alert->buttons().first()->click();

        // Stored in an earlier run, and held by another program at this start.
        UserDefaults::standard().set(Name(QStringLiteral("startOCR")).storageKey(), taken.toJson());
        view.setSelectedTab(SettingsView::General);
        view.setSelectedTab(SettingsView::Shortcuts);
        ASSERT_TRUE(waitUntil([&] {
            auto* shown = view.findChild<ShortcutsTabView*>();
            return shown && shown->isVisible() && shown->recorders().last()->isTakenElsewhere();
        }));
        shoot(QStringLiteral("shortcuts-taken-%1").arg(mode), area, 0);
        view.close();
    }
}
