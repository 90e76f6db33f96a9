#include "Desktop.h"
#include "FakePlatform.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "keyboardshortcuts/KeyboardShortcuts.h"
#include "keyboardshortcuts/Localization.h"
#include "keyboardshortcuts/Recorder.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11KeyboardLayout.h"
#include "platform/x11/XkbKeyNames.h"

#include <QAbstractButton>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <tuple>
#include <xcb/xcb.h>

using namespace KeyboardShortcuts;

namespace {

// The fake platform with the real keyboard and hot keys of the X server.
class X11KeysPlatform : public FakePlatform {
public:
    X11KeysPlatform() {
        auto layout = std::make_unique<X11KeyboardLayout>();
        m_hotKeyService = std::make_unique<X11HotKeyService>(*layout);
        m_keyboardLayout = std::move(layout);
    }
    ~X11KeysPlatform() override { m_hotKeyService.reset(); }
    X11KeyboardLayout& layout() const { return static_cast<X11KeyboardLayout&>(keyboardLayout()); }
};

bool xdotool(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

using Desktop::keyboardIsGrabbed;

// Counts the presses of one key that reach this process, repeats of a held key included, and every key
// event that does.
class KeyPressCounter : public QAbstractNativeEventFilter {
public:
    // Installed last, it sees the key before the hot key service takes it.
    explicit KeyPressCounter(std::uint8_t keycode = 0)
        : m_keycode(keycode) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~KeyPressCounter() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (eventType != "xcb_generic_event_t")
            return false;
        const int type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE)
            ++events;
        if (type == XCB_KEY_PRESS && static_cast<const xcb_key_press_event_t*>(message)->detail == m_keycode)
            ++presses;
        return false;
    }
    int presses = 0;
    int events = 0;

private:
    std::uint8_t m_keycode;
};

// Another X client holding a passive grab of one combination until it is destroyed.
class OtherClientsGrab {
public:
    OtherClientsGrab(std::uint8_t keycode, std::uint16_t modifiers) {
        m_process.start(QStringLiteral(QUILLORA_TEST_GRABKEY_PATH),
                        {QString::number(keycode), QString::number(modifiers)});
    }
    ~OtherClientsGrab() {
        m_process.closeWriteChannel();
        m_process.waitForFinished(5000);
    }
    bool ready() {
        return waitUntil([&] { return m_process.canReadLine(); }) &&
               m_process.readLine().trimmed() == QByteArray("ready");
    }

private:
    QProcess m_process;
};

class HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        installPlatform(std::make_unique<X11KeysPlatform>());
        resetForTesting();
        ASSERT_TRUE(layout().isValid());
    }
    void TearDown() override {
        resetForTesting();
        setLayout(QStringLiteral("us"));
    }

    X11KeyboardLayout& layout() { return static_cast<X11KeysPlatform&>(platform()).layout(); }
    void setLayout(const QString& name) {
        ASSERT_TRUE(runTool(QStringLiteral("setxkbmap"), {name}));
        // One key tells the layouts used here apart: in force once it types that layout's character.
        const QHash<QString, QString> semicolon = {{QStringLiteral("us"), QStringLiteral(";")},
                                                   {QStringLiteral("de"), QStringLiteral("ö")},
                                                   {QStringLiteral("fr"), QStringLiteral("m")},
                                                   {QStringLiteral("tr"), QStringLiteral("ş")}};
        ASSERT_TRUE(semicolon.contains(name));
        ASSERT_TRUE(waitUntil(
            [&] { return layout().characterForKeyCode(Key::semicolon.rawValue) == semicolon.value(name); }));
        // And what follows a change (hot keys grabbed again) has run.
        runQueuedWork();
    }
    // Brings the recorder's window to the front and starts recording, as a click into it would.
    void startRecording(QWidget& window, Recorder* recorder) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow(); }));
        recorder->focus();
        ASSERT_TRUE(waitUntil([&] { return recorder->isRecording(); }));
    }
    // Presses and releases while our event loop runs, as a user's key press would arrive.
    void press(const QString& keys) { ASSERT_TRUE(xdotool({QStringLiteral("key"), keys})); }
    // As a person presses: the keys go down, stay down a moment (our event loop running) and come up,
    // the last key before its modifiers when asked.
    void pressAsAPerson(const QString& keys, int holdMs = 150, bool keyUpFirst = false) {
        ASSERT_TRUE(xdotool({QStringLiteral("keydown"), keys}));
        QTest::qWait(holdMs);
        if (keyUpFirst) {
            QStringList modifiers = keys.split(u'+');
            ASSERT_TRUE(xdotool({QStringLiteral("keyup"), modifiers.takeLast()}));
            ASSERT_TRUE(xdotool({QStringLiteral("keyup"), modifiers.join(u'+')}));
        } else {
            ASSERT_TRUE(xdotool({QStringLiteral("keyup"), keys}));
        }
    }
};

TEST_F(HotKeysTest, KeyCodesMapToTheSamePositionsAndTheLayoutsCharacters) {
    const struct {
        const char* layout;
        QList<std::pair<Key, QString>> characters;
        Shortcut shortcut;
        QString text;
    } layouts[] = {
        {"us",
         {{Key::a, "a"},
          {Key::y, "y"},
          {Key::z, "z"},
          {Key::minus, "-"},
          {Key::semicolon, ";"},
          {Key::backtick, "`"}},
         Shortcut(Key::a, Modifier::control | Modifier::option | Modifier::command),
         QStringLiteral("⌃⌥⌘A")},
        {"de",
         {{Key::y, "z"}, {Key::z, "y"}, {Key::minus, "ß"}, {Key::semicolon, "ö"}, {Key::backtick, "^"}},
         Shortcut(Key::minus, Modifier::control),
         QStringLiteral("⌃Ss")},
        {"fr",
         {{Key::a, "q"}, {Key::q, "a"}, {Key::z, "w"}, {Key::semicolon, "m"}, {Key::minus, ")"}},
         Shortcut(Key::a, Modifier::shift | Modifier::command),
         QStringLiteral("⇧⌘Q")},
        {"tr",
         {{Key::i, "ı"},
          {Key::quote, "i"},
          {Key::semicolon, "ş"},
          {Key::leftBracket, "ğ"},
          {Key::comma, "ö"}},
         Shortcut(Key::i, Modifier::option),
         QStringLiteral("⌥I")},
    };
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.layout);
        ASSERT_NO_FATAL_FAILURE(setLayout(QString::fromLatin1(l.layout)));
        for (const auto& [key, character] : l.characters)
            EXPECT_EQ(layout().characterForKeyCode(key.rawValue), character) << key.rawValue;
        EXPECT_EQ(l.shortcut.description(), l.text);

        // Every stored key code that the keyboard has comes back from its key's native code.
        for (int keyCode = 0; keyCode < 128; ++keyCode) {
            if (const std::optional<std::uint8_t> keycode = layout().xKeycode(keyCode))
                EXPECT_EQ(layout().keyCodeForNativeScanCode(*keycode), keyCode) << keyCode;
            else
                EXPECT_TRUE(XkbKeyNames::nameForKeyCode(keyCode).isEmpty() || keyCode == 95) << keyCode;
        }
    }
}

TEST_F(HotKeysTest, HotKeysFireWithTheLocksOnOncePerHoldAndAfterALayoutChange) {
    const Name name(QStringLiteral("toggleMenuBar"));
    int downs = 0;
    int ups = 0;
    onKeyDown(name, [&] { ++downs; });
    onKeyUp(name, [&] { ++ups; });
    ASSERT_TRUE(setShortcut(Shortcut(Key::k, Modifier::control | Modifier::option), name));

    press(QStringLiteral("ctrl+alt+k"));
    ASSERT_TRUE(waitUntil([&] { return ups == 1; }));
    EXPECT_EQ(downs, 1);

    for (const char* lock : {"Num_Lock", "Caps_Lock"}) {
        press(QString::fromLatin1(lock));
        press(QStringLiteral("ctrl+alt+k"));
        EXPECT_TRUE(waitUntil([&] { return ups == downs && downs == (lock[0] == 'N' ? 2 : 3); })) << lock;
    }
    press(QStringLiteral("Num_Lock"));
    press(QStringLiteral("Caps_Lock"));

    // Held until the server repeats it: one press, one release.
    const std::optional<std::uint8_t> k = layout().xKeycode(Key::k.rawValue);
    ASSERT_TRUE(k);
    KeyPressCounter counter(*k);
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+alt+k")}));
    EXPECT_TRUE(waitUntil([&] { return counter.presses >= 3; }));
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt+k")}));
    ASSERT_TRUE(waitUntil([&] { return ups == 4; }));
    EXPECT_EQ(downs, 4);

    // The grab follows the key through a layout change: on fr the same key still fires.
    ASSERT_NO_FATAL_FAILURE(setLayout(QStringLiteral("fr")));
    press(QStringLiteral("ctrl+alt+k"));
    EXPECT_TRUE(waitUntil([&] { return ups == 5; }));

    // A layout change while the key is held still ends the hold with its release.
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+alt+k")}));
    ASSERT_TRUE(waitUntil([&] { return downs == 6; }));
    ASSERT_NO_FATAL_FAILURE(setLayout(QStringLiteral("us")));
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt+k")}));
    EXPECT_TRUE(waitUntil([&] { return ups == 6; }));

    // Nothing of ours fires while paused, and the key reaches a plain window instead.
    setPaused(true);
    press(QStringLiteral("ctrl+alt+k"));
    settleDisplay();
    EXPECT_EQ(downs, 6);
    setPaused(false);

    // A notice that moves no key (repeated, or another group) sends no grab request: a grab dropped for a
    // moment would send a press made then to another window.
    const auto requestsOfANotice = [&] {
        const unsigned before = xcb_no_operation(layout().connection()).sequence;
        Q_EMIT layout().layoutChanged();
        return xcb_no_operation(layout().connection()).sequence - before;
    };
    const unsigned withTheGrab = requestsOfANotice();
    setEnabled(false);
    EXPECT_EQ(withTheGrab, requestsOfANotice());
    setEnabled(true);
}

TEST_F(HotKeysTest, APressEndsWithItsReleaseWhereverTheServerReportsIt) {
    // Another application, where the user goes on working after each case.
    TextWindowProcess other(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(other.start());
    const Name name(QStringLiteral("toggleMenuBar"));
    int downs = 0;
    int ups = 0;
    std::function<void()> duringPress;
    onKeyDown(name, [&] {
        ++downs;
        if (duringPress)
            duringPress();
    });
    onKeyUp(name, [&] { ++ups; });
    ASSERT_TRUE(setShortcut(Shortcut(Key::k, Modifier::control | Modifier::option), name));

    QWidget window;
    (new QVBoxLayout(&window))->addWidget(new QLineEdit(&window));
    window.resize(300, 120);
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Quillora"), QStringLiteral("Quillora"));
    QMenu menu;
    menu.addAction(QStringLiteral("One"));
    QWidget popup(nullptr, Qt::Popup);
    popup.resize(200, 100);
    const auto activate = [](QWidget& w) {
        w.show();
        w.activateWindow();
    };
    const struct {
        const char* name;
        std::function<void()> before;
        std::function<void()> during;
        int holdMs = 150;
        bool keyUpFirst = false;
    } cases[] = {
        {"a window of ours has the focus", [&] { activate(window); }, nullptr},
        {"the alert opens during the press", nullptr, [&] { alert.open(); }},
        {"a menu of ours opens during the press", nullptr, [&] { menu.popup(QPoint(300, 300)); }},
        {"a menu of ours opens during the press, the key let go before its modifiers",
         nullptr,
         [&] { menu.popup(QPoint(300, 300)); },
         150,
         true},
        {"a popup of ours takes the keyboard during the press", nullptr, [&] { popup.show(); }},
        {"the focus moves to a window of ours during the press", nullptr, [&] { activate(window); }},
        {"held a whole second in a window of ours", [&] { activate(window); }, nullptr, 1000},
    };
    QSignalSpy released(&platform().hotKeyService(), &HotKeyService::hotKeysReleased);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        downs = ups = 0;
        released.clear();
        ASSERT_TRUE(xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(other.windowId())}));
        if (c.before) {
            c.before();
            ASSERT_TRUE(waitUntil([] { return QApplication::activeWindow() != nullptr; }));
        }
        duringPress = c.during;
        ASSERT_NO_FATAL_FAILURE(pressAsAPerson(QStringLiteral("ctrl+alt+k"), c.holdMs, c.keyUpFirst));
        EXPECT_TRUE(waitUntil([&] { return ups == 1; })) << "the release was lost";
        EXPECT_TRUE(waitUntil([&] { return released.count() == 1; })) << "keys held back for it wait on";
        settleDisplay();
        EXPECT_EQ(downs, 1);
        EXPECT_EQ(ups, 1) << "one key-up for one release, wherever it went";
        duringPress = nullptr;
        for (QWidget* shown : std::initializer_list<QWidget*>{&window, &alert, &menu, &popup})
            shown->hide();

        // Back in the other application, the next press acts.
        ASSERT_TRUE(xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(other.windowId())}));
        ASSERT_NO_FATAL_FAILURE(pressAsAPerson(QStringLiteral("ctrl+alt+k")));
        EXPECT_TRUE(waitUntil([&] { return downs == 2 && ups == 2; })) << "the next press was swallowed";
    }
}

TEST_F(HotKeysTest, AGrabHeldByAnotherClientIsAFailedRegistration) {
    const Shortcut combination(Key::g, Modifier::control | Modifier::option);
    const std::optional<std::uint8_t> keycode = layout().xKeycode(Key::g.rawValue);
    ASSERT_TRUE(keycode);
    auto other = std::make_unique<OtherClientsGrab>(*keycode, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    ASSERT_TRUE(other->ready());

    const Name name(QStringLiteral("startOCR"));
    EXPECT_TRUE(isTakenBySystem(combination));
    EXPECT_FALSE(setShortcut(combination, name));
    EXPECT_FALSE(getShortcut(name));
    EXPECT_TRUE(isTakenBySystem(combination)) << "our probe released nothing of theirs";

    // Stored in an earlier run and held by the other client at this start: kept, and the recorder says
    // that it does nothing.
    UserDefaults::standard().set(name.storageKey(), combination.toJson());
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    EXPECT_EQ(getShortcut(name), combination);
    Recorder shown(name);
    EXPECT_TRUE(shown.isTakenElsewhere());

    // Let go: it works within seconds with nothing asking, and the mark of a recorder on screen follows.
    other.reset();
    EXPECT_TRUE(waitUntil([&] { return !shown.isTakenElsewhere(); }));
    ASSERT_NO_FATAL_FAILURE(pressAsAPerson(QStringLiteral("ctrl+alt+g")));
    EXPECT_TRUE(waitUntil([&] { return downs == 1; }));
    EXPECT_FALSE(isTakenBySystem(combination));
    EXPECT_TRUE(setShortcut(combination, name));
    EXPECT_FALSE(isTakenBySystem(combination)) << "our own grab is not someone else's";
}

TEST_F(HotKeysTest, AnOpenMenuRecognisesTheHotKeyFromItsOwnKeysAndStaysOpenWhileItsModifiersAreHeld) {
    const Name name(QStringLiteral("translateSelection"));
    struct Recorded {
        Shortcut shortcut;
        const char* keys;
    };
    const Recorded ctrlAltK{Shortcut(Key::k, Modifier::control | Modifier::option), "ctrl+alt+k"};
    // Without Alt: a lone Alt closes the menu as it always did.
    const Recorded ctrlShiftT{Shortcut(Key::t, Modifier::control | Modifier::shift), "ctrl+shift+t"};
    const std::optional<std::uint8_t> k = layout().xKeycode(Key::k.rawValue);
    ASSERT_TRUE(k);
    // Keys go down and up one at a time, as a person's do; "hold" keeps the last one down for a second,
    // until the server has repeated it.
    const struct {
        const char* what;
        Recorded recorded;
        QStringList steps;
        // The step after which the menu is gone; -1: it stays open.
        int closesAfter;
        int downs;
        // The hot key's action closes the menu, so its grab comes back while the key is down.
        bool actionClosesMenu = false;
    } cases[] = {
        {"the recorded combination",
         ctrlAltK,
         {"down ctrl", "down alt", "down k", "up k", "up alt", "up ctrl"},
         -1,
         1},
        {"Alt first, the key held a second",
         ctrlAltK,
         {"down alt", "down ctrl", "down k", "hold", "up k", "up ctrl", "up alt"},
         -1,
         1},
        {"a combination without Alt",
         ctrlShiftT,
         {"down ctrl", "down shift", "down t", "up t", "up shift", "up ctrl"},
         -1,
         1},
        {"the action closes the menu, the key held a second",
         ctrlAltK,
         {"down ctrl", "down alt", "down k", "hold", "up k", "up alt", "up ctrl"},
         2,
         1,
         true},
        {"a lone Alt of the recorded combination", ctrlAltK, {"down alt", "up alt"}, 1, 0},
        {"Ctrl and Alt let go without the key",
         ctrlAltK,
         {"down ctrl", "down alt", "up alt", "up ctrl"},
         2,
         0},
        {"Alt when no recorded combination has it", ctrlShiftT, {"down alt", "up alt"}, 0, 0},
        {"a combination not recorded",
         ctrlAltK,
         {"down ctrl", "down alt", "down j", "up j", "up alt", "up ctrl"},
         2,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetForTesting();
        int downs = 0;
        int ups = 0;
        onKeyDown(name, [&] { ++downs; });
        onKeyUp(name, [&] { ++ups; });
        ASSERT_TRUE(setShortcut(c.recorded.shortcut, name));
        // After the hot keys' own watch: it sees the repeats that come to our grab too.
        KeyPressCounter counter(*k);

        QMenu menu;
        menu.addAction(QStringLiteral("One"));
        menu.addAction(QStringLiteral("Two"));
        if (c.actionClosesMenu)
            onKeyDown(name, [&] { menu.hide(); });
        menu.popup(QPoint(200, 200));
        ASSERT_TRUE(waitUntil([&] { return isMenuOpen() && menu.isVisible(); }));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        // The menu takes the keyboard once it is on screen.
        ASSERT_TRUE(waitUntil(keyboardIsGrabbed));
        for (qsizetype i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(c.steps.at(i).toStdString());
            const QStringList step = c.steps.at(i).split(u' ');
            if (step.first() == QLatin1String("hold")) {
                const int before = counter.presses;
                ASSERT_TRUE(waitUntil([&] { return counter.presses >= before + 9; }));
            } else {
                // Once the menu has gone, the keys go to whichever window has the focus.
                const bool reachesUs = menu.isVisible();
                const int before = counter.events;
                ASSERT_TRUE(xdotool({QStringLiteral("key") + step.first(), step.last()}));
                if (reachesUs) {
                    ASSERT_TRUE(waitUntil([&] { return counter.events > before; }));
                }
            }
            runQueuedWork();
            if (c.closesAfter >= 0 && i >= c.closesAfter) {
                EXPECT_TRUE(waitUntil([&] { return !menu.isVisible(); })) << "the menu stayed open";
            } else {
                EXPECT_TRUE(menu.isVisible()) << "the menu closed";
            }
        }
        EXPECT_EQ(downs, c.downs);
        // A release after the menu closed has no menu to come to.
        if (!c.actionClosesMenu) {
            EXPECT_EQ(ups, c.downs);
        }

        menu.hide();
        ASSERT_TRUE(waitUntil([&] { return !isMenuOpen(); }));
        ASSERT_TRUE(waitUntil([] { return !keyboardIsGrabbed(); }));
        if (c.downs > 0) {
            press(QString::fromLatin1(c.recorded.keys));
            EXPECT_TRUE(waitUntil([&] { return downs == 2; })) << "the grab is back";
        }
    }
}

TEST_F(HotKeysTest, RecordingFromRealKeysStoresThePositionAndTheHotKeyWorks) {
    const Name name(QStringLiteral("translateAndReplace"));
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    ASSERT_TRUE(setShortcut(Shortcut(Key::r, Modifier::control | Modifier::option), name));

    ASSERT_NO_FATAL_FAILURE(setLayout(QStringLiteral("de")));
    QWidget window;
    auto* recorder = new Recorder(name, {}, &window);
    (new QVBoxLayout(&window))->addWidget(recorder);
    ASSERT_NO_FATAL_FAILURE(startRecording(window, recorder));

    // While recording, our own hot key reaches the recorder and fires nothing.
    press(QStringLiteral("ctrl+alt+r"));
    EXPECT_TRUE(waitUntil([&] { return !recorder->isRecording(); })) << "the recorder took it";
    runQueuedWork();
    EXPECT_EQ(downs, 0);
    EXPECT_EQ(getShortcut(name), Shortcut(Key::r, Modifier::control | Modifier::option));

    recorder->focus();
    ASSERT_TRUE(waitUntil([&] { return recorder->isRecording(); }));
    // On de the key right of T types z: stored by position, shown as the layout types it.
    press(QStringLiteral("super+shift+z"));
    ASSERT_TRUE(waitUntil([&] { return !recorder->isRecording(); }));
    EXPECT_EQ(getShortcut(name), Shortcut(Key::y, Modifier::command | Modifier::shift));
    EXPECT_EQ(recorder->text(), QStringLiteral("⇧⌘Z"));

    press(QStringLiteral("super+shift+z"));
    EXPECT_TRUE(waitUntil([&] { return downs == 1; }));

    // The grab comes back as recording ends, while the key is still down: the server's repeats of it are
    // no new press. Only the next one is.
    ASSERT_NO_FATAL_FAILURE(setLayout(QStringLiteral("us")));
    // Q's X key code with its byte and bit read swapped names no key; J's names Control_L, held with it.
    for (const auto& [key, keys, holdMs] :
         {std::tuple{Key::j, "ctrl+alt+j", 150}, std::tuple{Key::j, "ctrl+alt+j", 1000},
          std::tuple{Key::q, "ctrl+alt+q", 1000}}) {
        SCOPED_TRACE(std::string(keys) + " " + std::to_string(holdMs));
        const std::optional<std::uint8_t> keycode = layout().xKeycode(key.rawValue);
        ASSERT_TRUE(keycode);
        KeyPressCounter counter(*keycode);
        downs = 0;
        recorder->focus();
        ASSERT_TRUE(waitUntil([&] { return recorder->isRecording(); }));
        ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QString::fromLatin1(keys)}));
        ASSERT_TRUE(waitUntil([&] { return !recorder->isRecording(); }));
        const int recorded = counter.presses;
        if (holdMs < 1000)
            QTest::qWait(holdMs);
        else
            ASSERT_TRUE(waitUntil([&] { return counter.presses >= recorded + 5; })) << "no repeats";
        ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QString::fromLatin1(keys)}));
        settleDisplay();
        EXPECT_EQ(getShortcut(name), Shortcut(key, Modifier::control | Modifier::option));
        EXPECT_EQ(downs, 0) << "fired while it was recorded";
        ASSERT_NO_FATAL_FAILURE(pressAsAPerson(QString::fromLatin1(keys)));
        EXPECT_TRUE(waitUntil([&] { return downs == 1; })) << "the next press did nothing";
    }
}

TEST_F(HotKeysTest, ACombinationAnotherClientGrabsReachesTheRecorderAndIsReportedTaken) {
    const std::optional<std::uint8_t> keycode = layout().xKeycode(Key::g.rawValue);
    ASSERT_TRUE(keycode);
    OtherClientsGrab other(*keycode, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    ASSERT_TRUE(other.ready());

    const Name name(QStringLiteral("startOCR"));
    QWidget window;
    auto* recorder = new Recorder(name, {}, &window);
    (new QVBoxLayout(&window))->addWidget(recorder);
    ASSERT_NO_FATAL_FAILURE(startRecording(window, recorder));

    auto alert = [&]() -> QMessageBox* {
        for (QMessageBox* box : window.findChildren<QMessageBox*>(QStringLiteral("recorderAlert"))) {
            if (box->isVisible())
                return box;
        }
        return nullptr;
    };
    press(QStringLiteral("ctrl+alt+g"));
    ASSERT_TRUE(waitUntil([&] { return alert() != nullptr; })) << "the press never reached the recorder";
    EXPECT_EQ(alert()->text(), localized("keyboard_shortcut_used_by_system"));
    // Forcing it could only fail again: the other client keeps its grab.
    ASSERT_EQ(alert()->buttons().size(), 1);
    EXPECT_EQ(alert()->buttons().constFirst()->text(), localized("ok"));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(keyboardIsGrabbed()) << "the alert gets the keys";

    alert()->buttons().constFirst()->click();
    ASSERT_TRUE(waitUntil([&] { return recorder->isRecording(); })) << "recording resumes after the alert";
    EXPECT_TRUE(keyboardIsGrabbed());
    EXPECT_FALSE(getShortcut(name));
    press(QStringLiteral("Escape"));
    ASSERT_TRUE(waitUntil([&] { return !recorder->isRecording(); }));
}

TEST_F(HotKeysTest, TheRecorderHoldsTheKeyboardExactlyWhileRecording) {
    const Name name(QStringLiteral("translateSelection"));
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* recorder = new Recorder(name, {}, &window);
    auto* field = new QLineEdit(&window);
    layout->addWidget(recorder);
    layout->addWidget(field);
    QWidget elsewhere;
    elsewhere.resize(200, 100);

    const struct {
        const char* way;
        std::function<void()> end;
    } ends[] = {
        {"Escape", [&] { press(QStringLiteral("Escape")); }},
        {"a recorded combination", [&] { press(QStringLiteral("ctrl+alt+j")); }},
        {"a click elsewhere",
         [&] {
             const QPoint point = field->mapToGlobal(field->rect().center());
             ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(point.x()),
                                  QString::number(point.y()), QStringLiteral("click"), QStringLiteral("1")}));
         }},
        {"another window taking the focus",
         [&] {
             elsewhere.show();
             elsewhere.activateWindow();
         }},
        {"the window closed", [&] { window.close(); }},
    };
    for (const auto& e : ends) {
        SCOPED_TRACE(e.way);
        elsewhere.hide();
        ASSERT_NO_FATAL_FAILURE(startRecording(window, recorder));
        EXPECT_TRUE(keyboardIsGrabbed());
        ASSERT_NO_FATAL_FAILURE(e.end());
        EXPECT_TRUE(waitUntil([&] { return !recorder->isRecording(); }));
        EXPECT_TRUE(waitUntil([&] { return !keyboardIsGrabbed(); })) << "an idle recorder leaves it alone";
    }
    EXPECT_EQ(getShortcut(name), Shortcut(Key::j, Modifier::control | Modifier::option));
}

} // namespace
