#include "settings/ShortcutsTabView.h"

#include "FakePlatform.h"
#include "TestUtils.h"
#include "keyboardshortcuts/Recorder.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsSectionView.h"
#include "ui/MenuPicker.h"

#include <QLabel>
#include <gtest/gtest.h>

using namespace KeyboardShortcuts;

namespace {

class ShortcutsTabViewTest : public ::testing::Test {
protected:
    void SetUp() override { resetForTesting(); }
    void TearDown() override { resetForTesting(); }
};

TEST_F(ShortcutsTabViewTest, FourEmptyRecordersInOrderAndGoogleOnAFreshInstallation) {
    ShortcutsTabView tab;
    QStringList names;
    for (Recorder* recorder : tab.recorders()) {
        names << recorder->shortcutName().rawValue();
        EXPECT_TRUE(recorder->text().isEmpty());
        EXPECT_EQ(recorder->width(), 180);
    }
    EXPECT_EQ(names, QStringList({QStringLiteral("toggleMenuBar"), QStringLiteral("translateSelection"),
                                  QStringLiteral("translateAndReplace"), QStringLiteral("startOCR")}));
    QStringList titles;
    for (const QLabel* label : tab.findChildren<QLabel*>())
        titles << label->text();
    for (const char* title :
         {"Show/Hide MenuBar", "Translate Selection", "Translate and Replace Selection",
          "Capture Screen (OCR)", "Global Shortcuts", "Default Translation Model for Shortcuts",
          "Translation Service", "Shortcuts require accessibility permissions to function properly."})
        EXPECT_TRUE(titles.contains(QString::fromUtf8(title))) << title;
    EXPECT_EQ(tab.servicePicker()->value(), QStringLiteral("google"));
}

TEST_F(ShortcutsTabViewTest, ThePickerWritesAtOnceAndARecordedShortcutIsStoredUnderItsName) {
    auto tab = std::make_unique<ShortcutsTabView>();
    const int deepl = tab->servicePicker()->findData(QStringLiteral("deepl"));
    ASSERT_GE(deepl, 0);
    tab->servicePicker()->setCurrentIndex(deepl);
    Q_EMIT tab->servicePicker()->activated(deepl);
    EXPECT_EQ(UserDefaults::standard().string(QStringLiteral("shortcutTranslationService")),
              QStringLiteral("deepl"));
    tab = std::make_unique<ShortcutsTabView>();
    EXPECT_EQ(tab->servicePicker()->value(), QStringLiteral("deepl"));

    tab->show();
    Recorder* ocr = tab->recorders().last();
    ocr->focus();
    ASSERT_TRUE(waitUntil([&] { return ocr->isRecording(); }));
    QTest::keyClick(ocr, Qt::Key_O, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(
        Shortcut::fromJson(UserDefaults::standard().string(QStringLiteral("KeyboardShortcuts_startOCR"))),
        Shortcut(Key::o, Modifier::control | Modifier::option));
    EXPECT_EQ(ocr->text(), QStringLiteral("⌃⌥O"));

    // Stored in an earlier run and held by the desktop at this start: shown stored, and said to do nothing
    // until another one is recorded.
    const Shortcut taken(Key::t, Modifier::control | Modifier::option);
    fakePlatform().fakeHotKeys().takenBySystem.append({int(taken.carbonKeyCode()), int(taken.carbonModifiers())});
    UserDefaults::standard().set(QStringLiteral("KeyboardShortcuts_toggleMenuBar"), taken.toJson());
    tab = std::make_unique<ShortcutsTabView>();
    tab->show();
    Recorder* toggle = tab->recorders().first();
    auto* note = tab->findChild<QLabel*>(QStringLiteral("toggleMenuBarTaken"));
    ASSERT_TRUE(note);
    EXPECT_EQ(toggle->text(), QStringLiteral("⌃⌥T"));
    EXPECT_TRUE(note->isVisible());
    EXPECT_FALSE(tab->findChild<QLabel*>(QStringLiteral("startOCRTaken"))->isVisible());
    toggle->focus();
    ASSERT_TRUE(waitUntil([&] { return toggle->isRecording(); }));
    QTest::keyClick(toggle, Qt::Key_M, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(toggle->text(), QStringLiteral("⌃⌥M"));
    EXPECT_FALSE(note->isVisible());
}

} // namespace
