#include "keyboardshortcuts/Recorder.h"

#include "FakePlatform.h"
#include "TestUtils.h"
#include "keyboardshortcuts/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <gtest/gtest.h>

using namespace KeyboardShortcuts;

namespace {

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetForTesting();
        m_window.setLayout(new QVBoxLayout);
        m_before = new QLineEdit(&m_window);
        m_recorder = new Recorder(m_name, {}, &m_window);
        m_after = new QLineEdit(&m_window);
        m_window.layout()->addWidget(m_before);
        m_window.layout()->addWidget(m_recorder);
        m_window.layout()->addWidget(m_after);
        NotificationCenter::shared().addObserver(
            Notifications::RecorderActiveStatusDidChange, &m_window, [this](const QVariantMap& info) {
                m_activity << info.value(QStringLiteral("isActive")).toBool();
            });
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        ASSERT_TRUE(waitUntil([&] { return m_window.isActiveWindow(); }));
    }
    void TearDown() override { resetForTesting(); }

    void startRecording() {
        m_recorder->focus();
        ASSERT_TRUE(waitUntil([&] { return m_recorder->isRecording(); }));
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &m_window, key,
                        modifiers);
    }
    QMessageBox* alert() {
        for (QMessageBox* box : m_window.findChildren<QMessageBox*>(QStringLiteral("recorderAlert"))) {
            if (box->isVisible())
                return box;
        }
        return nullptr;
    }
    void answerAlert(const QString& button) {
        ASSERT_TRUE(waitUntil([&] { return alert() && alert()->isVisible(); }));
        for (QAbstractButton* candidate : alert()->buttons()) {
            if (candidate->text() == button) {
                candidate->click();
                return;
            }
        }
        FAIL() << "no button " << qPrintable(button);
    }

    const Name m_name{QStringLiteral("translateSelection")};
    QList<bool> m_activity;
    QWidget m_window;
    QLineEdit* m_before = nullptr;
    Recorder* m_recorder = nullptr;
    QLineEdit* m_after = nullptr;
};

TEST_F(RecorderTest, RecordsACombinationAndEndsWithTheHotKeysResumed) {
    EXPECT_FALSE(m_recorder->isRecording()) << "opening the window starts no recording";
    EXPECT_EQ(m_recorder->placeholderText(), localized("record_shortcut"));

    startRecording();
    EXPECT_EQ(m_recorder->placeholderText(), localized("press_shortcut"));
    EXPECT_TRUE(isPaused());
    key(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);

    EXPECT_EQ(getShortcut(m_name), Shortcut(Key::k, Modifier::control | Modifier::shift));
    EXPECT_EQ(m_recorder->text(), QStringLiteral("⌃⇧K"));
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(m_recorder->placeholderText(), localized("record_shortcut"));
    EXPECT_EQ(m_activity, QList<bool>({true, false}));
    EXPECT_TRUE(m_recorder->findChild<QAction*>(QStringLiteral("clearShortcut"))->isVisible());

    // A change made elsewhere shows at once; one for another name does not.
    setShortcut(Shortcut(Key::j, Modifier::option), m_name);
    EXPECT_EQ(m_recorder->text(), QStringLiteral("⌥J"));
    setShortcut(Shortcut(Key::l, Modifier::option), Name(QStringLiteral("other")));
    EXPECT_EQ(m_recorder->text(), QStringLiteral("⌥J"));

    // Deactivating and reactivating the window does not resume recording by itself.
    startRecording();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    EXPECT_FALSE(m_recorder->isRecording());
    QApplication::setActiveWindow(&m_window);
    runQueuedWork();
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_FALSE(isPaused());
}

TEST_F(RecorderTest, RefusesPlainKeysAndHandlesEscapeTabAndBackspace) {
    setShortcut(Shortcut(Key::j, Modifier::option), m_name);
    startRecording();
    for (const auto& [refused, modifiers] :
         {std::pair{Qt::Key_A, Qt::KeyboardModifiers()},
          std::pair{Qt::Key_A, Qt::KeyboardModifiers(Qt::ShiftModifier)},
          std::pair{Qt::Key_Backtab, Qt::KeyboardModifiers(Qt::ShiftModifier)},
          std::pair{Qt::Key_Shift, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        key(refused, modifiers);
        EXPECT_TRUE(m_recorder->isRecording()) << refused;
        EXPECT_EQ(getShortcut(m_name), Shortcut(Key::j, Modifier::option)) << refused;
    }

    key(Qt::Key_Escape);
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_EQ(getShortcut(m_name), Shortcut(Key::j, Modifier::option)) << "Escape keeps the old shortcut";

    startRecording();
    key(Qt::Key_Tab);
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_TRUE(m_after->hasFocus()) << "Tab moves on";

    startRecording();
    key(Qt::Key_Backspace);
    EXPECT_FALSE(getShortcut(m_name));
    EXPECT_TRUE(m_recorder->text().isEmpty());
    EXPECT_FALSE(m_recorder->findChild<QAction*>(QStringLiteral("clearShortcut"))->isVisible());
    EXPECT_TRUE(m_recorder->isRecording()) << "a cleared recorder records at once";

    key(Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(getShortcut(m_name), Shortcut(Key::f5, Modifier::shift)) << "function keys need no modifier";
}

TEST_F(RecorderTest, ClickingTheClearButtonClearsTheShortcutIdleOrRecording) {
    auto* clear = m_recorder->findChild<QAction*>(QStringLiteral("clearShortcut"));
    // A click where the user sees the button: the press starts recording, the release must reach it.
    auto clickClearButton = [&] {
        QToolButton* button = nullptr;
        for (QToolButton* candidate : m_recorder->findChildren<QToolButton*>()) {
            if (candidate->defaultAction() == clear && candidate->isVisible())
                button = candidate;
        }
        ASSERT_TRUE(button);
        const QPoint centre = button->mapTo(&m_window, button->rect().center());
        QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, centre);
    };
    for (const bool recording : {false, true}) {
        SCOPED_TRACE(recording ? "recording" : "idle");
        ASSERT_TRUE(setShortcut(Shortcut(Key::j, Modifier::option), m_name));
        if (recording) {
            ASSERT_NO_FATAL_FAILURE(startRecording());
        }
        ASSERT_TRUE(waitUntil([&] { return clear->isVisible(); }));
        ASSERT_NO_FATAL_FAILURE(clickClearButton());
        EXPECT_TRUE(waitUntil([&] { return !getShortcut(m_name); }));
        EXPECT_TRUE(m_recorder->text().isEmpty());
        EXPECT_FALSE(clear->isVisible());
        EXPECT_TRUE(m_recorder->isRecording()) << "a cleared recorder records at once";
        key(Qt::Key_Escape);
    }
}

TEST_F(RecorderTest, AClickWithinThreePixelsOfTheFieldIsSwallowedAndOneFurtherEndsRecording) {
    // Around the field a click takes the focus, as the settings tab's scroll area does.
    m_window.setFocusPolicy(Qt::ClickFocus);
    const QRect field(m_recorder->mapTo(&m_window, QPoint(0, 0)), m_recorder->size());
    const struct {
        const char* where;
        QPoint point;
        bool keepsRecording;
    } clicks[] = {
        {"2 px above", {field.center().x(), field.top() - 2}, true},
        {"2 px below", {field.center().x(), field.bottom() + 2}, true},
        {"3 px left", {field.left() - 3, field.center().y()}, true},
        {"6 px above", {field.center().x(), field.top() - 6}, false},
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.where);
        ASSERT_NO_FATAL_FAILURE(startRecording());
        QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, c.point);
        EXPECT_EQ(m_recorder->isRecording(), c.keepsRecording);
        if (c.keepsRecording) {
            key(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
            EXPECT_EQ(getShortcut(m_name), Shortcut(Key::k, Modifier::control | Modifier::option));
            setShortcut(std::nullopt, m_name);
        }
    }
}

TEST_F(RecorderTest, TakenAndMenuCombinationsAreRefusedWithAnAlert) {
    const Shortcut taken(Key::g, Modifier::control | Modifier::option);
    fakePlatform().fakeHotKeys().takenBySystem.append(
        {int(taken.carbonKeyCode()), int(taken.carbonModifiers())});

    startRecording();
    key(Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(m_recorder->isRecording());
    ASSERT_TRUE(waitUntil([&] { return alert() && alert()->isVisible(); }));
    EXPECT_EQ(alert()->text(), localized("keyboard_shortcut_used_by_system"));
    EXPECT_EQ(alert()->buttons().size(), 1) << "forcing a combination another client holds could only fail";
    ASSERT_NO_FATAL_FAILURE(answerAlert(localized("ok")));
    EXPECT_FALSE(getShortcut(m_name));
    EXPECT_TRUE(m_recorder->text().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return m_recorder->isRecording(); })) << "recording resumes after the alert";

    auto* menuBar = new QMenuBar(&m_window);
    QAction* quit = menuBar->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Quit"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    ASSERT_TRUE(waitUntil([&] { return m_recorder->isRecording(); }));
    key(Qt::Key_Q, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return alert() && alert()->isVisible(); }));
    EXPECT_TRUE(alert()->text().contains(QStringLiteral("“Quit”")));
    ASSERT_NO_FATAL_FAILURE(answerAlert(localized("ok")));
    EXPECT_FALSE(getShortcut(m_name));
}

TEST_F(RecorderTest, ARecorderThatGoesWhileRecordingLeavesNothingBehind) {
    // An idle recorder giving up the focus leaves a recording one's pause alone.
    auto* idle = new Recorder(Name(QStringLiteral("other")), {}, &m_window);
    startRecording();
    idle->blur();
    EXPECT_TRUE(isPaused());
    delete m_recorder;
    m_recorder = nullptr;
    EXPECT_FALSE(isPaused()) << "hot keys work again";
    EXPECT_EQ(m_activity.last(), false);

    // Its key watch went with it: Escape reaches the rest of the application again.
    m_before->setFocus();
    bool escapeSeen = false;
    QObject spy;
    struct Filter : QObject {
        bool* seen;
        explicit Filter(bool* s)
            : seen(s) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                *seen = true;
            return false;
        }
    } filter(&escapeSeen);
    m_before->installEventFilter(&filter);
    QTest::keyClick(m_before, Qt::Key_Escape);
    EXPECT_TRUE(escapeSeen);
}

TEST_F(RecorderTest, ThePlaceholderReadsOnLightAndDarkPalettes) {
    // How far the placeholder, laid over the field's base, stands out from that base.
    const auto contrast = [this] {
        const QColor base = m_recorder->palette().color(QPalette::Base);
        const QColor placeholder = m_recorder->palette().color(QPalette::PlaceholderText);
        const qreal a = placeholder.alphaF();
        const QColor shown = QColor::fromRgbF(a * placeholder.redF() + (1 - a) * base.redF(),
                                              a * placeholder.greenF() + (1 - a) * base.greenF(),
                                              a * placeholder.blueF() + (1 - a) * base.blueF());
        return std::abs(shown.lightness() - base.lightness());
    };
    const QPalette light = QApplication::palette();
    const auto restore = qScopeGuard([light] { QApplication::setPalette(light); });
    // A palette darkened by hand that keeps the light placeholder colour.
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::Base, QColor(28, 28, 30));
    dark.setColor(QPalette::Text, QColor(236, 236, 236));
    dark.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    EXPECT_GE(contrast(), 80);
    QApplication::setPalette(dark);
    EXPECT_GE(contrast(), 80) << "dark";
    startRecording();
    EXPECT_GE(contrast(), 80) << "dark, recording";
    QApplication::setPalette(light);
    EXPECT_GE(contrast(), 80) << "light again";
}

} // namespace
