#include "keyboardshortcuts/Shortcut.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <gtest/gtest.h>

using namespace KeyboardShortcuts;

namespace {

TEST(ShortcutTest, TextShowsModifiersInFixedOrderThenTheKeysSymbolOrCharacter) {
    const qint64 all =
        Modifier::command | Modifier::function | Modifier::shift | Modifier::option | Modifier::control;
    const struct {
        qint64 keyCode;
        qint64 modifiers;
        QString text;
    } cases[] = {
        {Key::a.rawValue, Modifier::control | Modifier::option | Modifier::command, QStringLiteral("⌃⌥⌘A")},
        {Key::k.rawValue, all, QStringLiteral("⌃⌥⇧⌘\U0001F310\uFE0EK")},
        {Key::f5.rawValue, Modifier::shift | Modifier::command, QStringLiteral("⇧⌘F5")},
        {Key::returnKey.rawValue, Modifier::command, QStringLiteral("⌘↩")},
        {Key::keypadEnter.rawValue, Modifier::control, QStringLiteral("⌃↩\u20E3")},
        {Key::keypad8.rawValue, 0, QStringLiteral("8\u20E3")},
        {Key::f20.rawValue, 0, QStringLiteral("F20")},
        {Key::help.rawValue, 0, QStringLiteral("?\u20DD")},
        {Key::space.rawValue, Modifier::option, QStringLiteral("⌥Space")},
        // A key the layout types nothing on.
        {Key::rightShift.rawValue, Modifier::control, QStringLiteral("⌃\uFFFD")},
        // Bits outside the five are dropped on construction.
        {Key::b.rawValue, Modifier::command | 0x0400, QStringLiteral("⌘B")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Shortcut(c.keyCode, c.modifiers).description(), c.text) << c.keyCode;
}

TEST(ShortcutTest, JsonRoundTripAndDamagedValues) {
    const Shortcut shortcut(Key::k, Modifier::control | Modifier::shift);
    EXPECT_EQ(shortcut.toJson(), QStringLiteral(R"({"carbonKeyCode":40,"carbonModifiers":4608})"));
    EXPECT_EQ(Shortcut::fromJson(shortcut.toJson()), shortcut);

    // Decoding keeps unknown bits as written, so such a value differs from the clean one.
    const std::optional<Shortcut> extraBits =
        Shortcut::fromJson(R"({"carbonKeyCode":40,"carbonModifiers":5632})");
    ASSERT_TRUE(extraBits);
    EXPECT_EQ(extraBits->carbonModifiers(), 5632);
    EXPECT_NE(*extraBits, shortcut);
    EXPECT_EQ(extraBits->description(), shortcut.description());

    const char* damaged[] = {
        "",
        "false",
        "garbage",
        "[]",
        "40",
        R"({"carbonKeyCode":40})",
        R"({"carbonModifiers":256})",
        R"({"carbonKeyCode":"40","carbonModifiers":256})",
        R"({"carbonKeyCode":40.5,"carbonModifiers":256})",
        R"({"carbonKeyCode":null,"carbonModifiers":256})",
        R"({"carbonKeyCode":40,"carbonModifiers":256)",
    };
    for (const char* text : damaged)
        EXPECT_FALSE(Shortcut::fromJson(QString::fromUtf8(text))) << text;
}

TEST(ShortcutTest, KeyEventsGiveTheKeysCodeAndTheFourModifiers) {
    const QKeyEvent ctrlShiftK(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Shortcut::fromKeyEvent(ctrlShiftK), Shortcut(Key::k, Modifier::control | Modifier::shift));
    const QKeyEvent superF5(QEvent::KeyRelease, Qt::Key_F5, Qt::MetaModifier | Qt::AltModifier);
    EXPECT_EQ(Shortcut::fromKeyEvent(superF5), Shortcut(Key::f5, Modifier::command | Modifier::option));
    const QKeyEvent keypadEnter(QEvent::KeyPress, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_FALSE(Shortcut::fromKeyEvent(keypadEnter)) << "keypad keys need their native code";
    const QKeyEvent shortcutOverride(QEvent::ShortcutOverride, Qt::Key_K, Qt::ControlModifier);
    EXPECT_FALSE(Shortcut::fromKeyEvent(shortcutOverride));
}

TEST(ShortcutTest, MenuActionsMatchByKeyAndExactModifiers) {
    QMenu top;
    QMenu* sub = top.addMenu(QStringLiteral("Sub"));
    QAction* quit = top.addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    QAction* find = sub->addAction(QStringLiteral("Find Next"));
    find->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+G")));
    QAction* help = sub->addAction(QStringLiteral("Help"));
    help->setShortcut(QKeySequence(Qt::Key_F1));

    EXPECT_EQ(Shortcut(Key::q, Modifier::control).matchingAction(top.actions()), quit);
    EXPECT_EQ(Shortcut(Key::g, Modifier::control | Modifier::shift).matchingAction(top.actions()), find);
    EXPECT_EQ(Shortcut(Key::f1, 0).matchingAction(top.actions()), help);
    EXPECT_EQ(Shortcut(Key::g, Modifier::control).matchingAction(top.actions()), nullptr);
    EXPECT_EQ(Shortcut(Key::q, Modifier::command).matchingAction(top.actions()), nullptr);
    EXPECT_EQ(Shortcut(Key::keypad1, Modifier::control).keySequence(), std::nullopt);
}

} // namespace
