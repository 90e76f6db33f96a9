#include "keyboardshortcuts/ActionShortcuts.h"

#include "FakePlatform.h"
#include "TestUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"

#include <QAction>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace KeyboardShortcuts;

namespace {

class ActionShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override { resetForTesting(); }
    void TearDown() override { resetForTesting(); }
};

TEST_F(ActionShortcutsTest, BoundActionsFollowTheirNameUntilUnboundOrRebound) {
    const Name first(QStringLiteral("first"));
    const Name second(QStringLiteral("second"));
    QAction action;
    bindActionShortcut(&action, first);
    EXPECT_TRUE(action.shortcut().isEmpty());

    setShortcut(Shortcut(Key::k, Modifier::control | Modifier::shift), first);
    EXPECT_TRUE(action.shortcut().isEmpty()) << "applied on the next turn of the main queue";
    QCoreApplication::processEvents();
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+K")));

    bindActionShortcut(&action, second);
    EXPECT_TRUE(action.shortcut().isEmpty());
    setShortcut(Shortcut(Key::j, Modifier::control), first);
    QCoreApplication::processEvents();
    EXPECT_TRUE(action.shortcut().isEmpty()) << "the first name no longer drives it";

    bindActionShortcut(&action, second);
    setShortcut(Shortcut(Key::f5, 0), second);
    QCoreApplication::processEvents();
    EXPECT_EQ(action.shortcut(), QKeySequence(Qt::Key_F5));
    bindActionShortcut(&action, std::nullopt);
    EXPECT_TRUE(action.shortcut().isEmpty());
    EXPECT_EQ(NotificationCenter::shared().observerCount(Notifications::ShortcutByNameDidChange), 0)
        << "no observer is left behind";
}

TEST_F(ActionShortcutsTest, ButtonsLoseTheirShortcutWhileARecorderRecordsAndViewsListenWhileShown) {
    const Name name(QStringLiteral("toggleMenuBar"));
    setShortcut(Shortcut(Key::k, Modifier::option), name);
    {
        QPushButton button;
        globalKeyboardShortcut(&button, name);
        EXPECT_EQ(button.shortcut(), QKeySequence(QStringLiteral("Alt+K")));
        NotificationCenter::shared().post(Notifications::RecorderActiveStatusDidChange,
                                          {{QStringLiteral("isActive"), true}});
        EXPECT_TRUE(button.shortcut().isEmpty());
        NotificationCenter::shared().post(Notifications::RecorderActiveStatusDidChange,
                                          {{QStringLiteral("isActive"), QStringLiteral("yes")}});
        EXPECT_EQ(button.shortcut(), QKeySequence(QStringLiteral("Alt+K")))
            << "a malformed notice counts as inactive";
        setShortcut(Shortcut(Key::keypad1, Modifier::option), name);
        EXPECT_TRUE(button.shortcut().isEmpty()) << "keypad keys have no key sequence";
    }
    EXPECT_EQ(NotificationCenter::shared().observerCount(Notifications::RecorderActiveStatusDidChange), 0);

    QWidget view;
    QList<EventType> events;
    onKeyboardShortcut(&view, name, [&](EventType type) { events << type; });
    auto& hotKeys = fakePlatform().fakeHotKeys();
    const quint32 id = hotKeys.registered.keys().value(0);
    hotKeys.press(id);
    EXPECT_TRUE(events.isEmpty()) << "hidden views hear nothing";
    view.show();
    hotKeys.press(id);
    Q_EMIT hotKeys.hotKeyReleased(id);
    EXPECT_EQ(events, QList<EventType>({EventType::KeyDown, EventType::KeyUp}));
    view.hide();
    hotKeys.press(id);
    EXPECT_EQ(events.size(), 2);
}

} // namespace
