#include "DevApiTest.h"
#include "FakePlatform.h"
#include "TestUtils.h"
#include "keyboardshortcuts/KeyboardShortcuts.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "shortcuts/KeyboardShortcutManager.h"
#include "shortcuts/PointerTranslationPopover.h"
#include "shortcuts/SelectionReplacer.h"
#include "ui/GlobalToastManager.h"
#include "ui/MenuPicker.h"
#include "ui/Symbol.h"
#include "ui/TranslationPopoverView.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using Mode = Pasteboard::Mode;

RunningApplication application(const QString& bundleIdentifier, quint32 windowId) {
    RunningApplication app;
    app.windowId = windowId;
    app.processId = 4242;
    app.bundleIdentifier = bundleIdentifier;
    return app;
}

// What the user reads when nothing could be copied.
const QString copyFailedText =
    QStringLiteral("Metin kopyalanamadı. Lütfen bir metin seçtiğinizden emin olun ve tekrar deneyin.");

const QString replacedText = QStringLiteral("Text translated and replaced");

struct Toast {
    QString message;
    QString icon;
    double duration;
};

class ShortcutActionsTest : public DevApiTest {
protected:
    void SetUp() override {
        DevApiTest::SetUp();
        KeyboardShortcuts::resetForTesting();
        selection = QStringLiteral("hello");
        pasted.clear();
        pasteboard().setExternalContent(userClipboard());
        focus(application(QStringLiteral("org.example.Editor"), 0x1400007));
        m_manager.setToastHandler([this](const QString& message, const QString& icon, double duration) {
            // Every toast can be shown whole: its symbol has an image, and a message of ours (not a
            // server's error) fits the banner's one line.
            EXPECT_TRUE(Symbol::exists(icon)) << icon.toStdString();
            if (!message.startsWith(QLatin1String("Translation error: "))) {
                EXPECT_LT(GlobalToastManager::panelWidthFor(message), GlobalToastManager::maximumWidth)
                    << message.toStdString();
            }
            toasts.append({message, icon, duration});
        });
        // The focused application copies its selection on its copy keys and reads the clipboard on a paste.
        keys().onPost = [this](const PostedKey& key) {
            // A held hot key's grab takes every key, and so does an open popup of ours: the application
            // never sees it.
            if (fakePlatform().fakeHotKeys().isHotKeyHeld() || QApplication::activePopupWidget())
                return;
            if (key.key == Qt::Key_C && !selection.isEmpty() && copiesInPlace)
                pasteboard().copyKeepingOwnership(selection, focusedWindow(), 4242);
            else if (key.key == Qt::Key_C && !selection.isEmpty())
                pasteboard().setExternalString(selection);
            if (key.key == Qt::Key_V && clipboardManagerReads)
                pasteboard().readByClient({Mode::Clipboard, 0x3a00001, 977});
            if (key.key == Qt::Key_V && readsPaste)
                readAsTheWindow(targetReads.isEmpty() ? QList<TargetRead>{{0, readFrom(focusedWindow() + 3)}}
                                                      : targetReads);
        };
    }

    // A request of the focused application's process (4242): from one of its windows, answered or refused.
    static Pasteboard::Request readFrom(quint32 window, bool answered = true) {
        Pasteboard::Request request{Mode::Clipboard, window, 4242};
        request.answered = answered;
        return request;
    }
    struct TargetRead {
        int afterMs;
        Pasteboard::Request request;
    };
    void readAsTheWindow(const QList<TargetRead>& reads) {
        for (const TargetRead& read : reads) {
            QTimer::singleShot(read.afterMs, &pasteboard(), [this, read] {
                // The window pastes over its selection: a second paste lands beside the first.
                if (read.request.answered && pasteboard().isOwnedByThisProcess()) {
                    pasted += pasteboard().currentString();
                    selection.clear();
                }
                pasteboard().readByClient(read.request);
            });
        }
    }

    // A shortcut's key goes down as the selection is sent for translation and stays down `ms`.
    // Pressed `again`, it is a second replace.
    void holdAsTheTranslationArrives(int ms, bool again = false) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(
            &m_manager, &KeyboardShortcutManager::selectionCaptured, [this, ms, again, connection] {
                QObject::disconnect(*connection);
                FakeHotKeyService& hotKeys = fakePlatform().fakeHotKeys();
                hotKeys.held.insert(1);
                QTimer::singleShot(ms, &hotKeys, [&hotKeys] { hotKeys.release(1); });
                // After this capture's end, as a key press comes on a later turn.
                if (again)
                    QTimer::singleShot(0, &m_manager,
                                       [this] { m_manager.handleTranslateAndReplaceShortcut(); });
            });
    }

    FakePasteboard& pasteboard() { return fakePlatform().fakePasteboard(); }
    FakeKeyEventPoster& keys() { return fakePlatform().fakeKeyPoster(); }
    void focus(const RunningApplication& app) { fakePlatform().fakeWorkspace().frontmost = app; }
    quint32 focusedWindow() const {
        const auto& front = fakePlatform().fakeWorkspace().frontmost;
        return front ? front->windowId : 0;
    }
    QStringList postedKeys() const {
        QStringList keys;
        for (const PostedKey& key : std::as_const(fakePlatform().fakeKeyPoster().posted))
            keys.append(QKeySequence(int(key.modifiers) | key.key).toString());
        return keys;
    }
    void TearDown() override { KeyboardShortcuts::resetForTesting(); }

    bool waitForToast(const QString& message, int timeoutMs = 5000) {
        return waitUntil(
            [&] {
                return std::any_of(toasts.begin(), toasts.end(),
                                   [&](const Toast& toast) { return toast.message == message; });
            },
            timeoutMs);
    }
    bool waitForCapture() {
        return waitUntil([&] { return !m_manager.isCapturing(); });
    }

    KeyboardShortcutManager m_manager;
    QList<Toast> toasts;
    QString selection = QStringLiteral("hello");
    // The focused application copies without claiming a clipboard it owns already.
    bool copiesInPlace = false;
    bool readsPaste = true;
    // How the focused window reads a paste; empty: at once, from another window of its client.
    QList<TargetRead> targetReads;
    // Another client reading the clipboard is not the paste.
    bool clipboardManagerReads = false;
    QString pasted;
};

TEST_F(ShortcutActionsTest, SourceIsTurkishOnlyForTurkishLettersOrAnUnplacedText) {
    auto& recognizer = fakePlatform().fakeLanguageRecognizer();
    recognizer.answers = {{QStringLiteral("Straße und Bücher"), QStringLiteral("de")},
                          {QStringLiteral("garçon"), QStringLiteral("fr")},
                          {QStringLiteral("an English line with ş"), QStringLiteral("en")},
                          {QStringLiteral("İstanbul"), QStringLiteral("de")}};
    struct Case {
        QString text;
        QString expected;
    } cases[] = {
        {QStringLiteral("Straße und Bücher"), QStringLiteral("de")},
        {QStringLiteral("garçon"), QStringLiteral("fr")},
        {QStringLiteral("an English line with ş"), QStringLiteral("tr")},
        {QStringLiteral("İstanbul"), QStringLiteral("tr")},
        // Decomposed: s + combining cedilla.
        {QStringLiteral("pas\u0327a"), QStringLiteral("tr")},
        {QStringLiteral("çöü"), QStringLiteral("tr")},
        {QStringLiteral("???"), QStringLiteral("auto")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeyboardShortcutManager::detectLanguage(c.text), c.expected) << c.text.toStdString();
}

TEST_F(ShortcutActionsTest, TargetFallsBackWhenItEqualsTheSource) {
    struct Case {
        QString detected;
        QString target;
        std::optional<QString> storedSource;
        QString expected;
    } cases[] = {
        {QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("fr"), QStringLiteral("en")},
        {QStringLiteral("auto"), QStringLiteral("tr"), std::nullopt, QStringLiteral("tr")},
        {QStringLiteral("de"), QStringLiteral("de"), QStringLiteral("fr"), QStringLiteral("fr")},
        {QStringLiteral("de"), QStringLiteral("de"), QStringLiteral("auto"), QStringLiteral("en")},
        {QStringLiteral("de"), QStringLiteral("de"), std::nullopt, QStringLiteral("tr")},
        // A Turkish text is not sent Turkish to Turkish by the default source, but is by a stored one.
        {QStringLiteral("tr"), QStringLiteral("tr"), std::nullopt, QStringLiteral("en")},
        {QStringLiteral("tr"), QStringLiteral("tr"), QStringLiteral("tr"), QStringLiteral("tr")},
        {QStringLiteral("en"), QStringLiteral("en"), QStringLiteral("auto"), QStringLiteral("tr")},
    };
    for (const Case& c : cases) {
        if (c.storedSource)
            UserDefaults::standard().set(QStringLiteral("defaultSourceLanguage"), *c.storedSource);
        else
            UserDefaults::standard().remove(QStringLiteral("defaultSourceLanguage"));
        EXPECT_EQ(KeyboardShortcutManager::resolveTargetLanguage(c.detected, c.target), c.expected)
            << c.detected.toStdString() << " → " << c.target.toStdString();
    }
}

TEST_F(ShortcutActionsTest, ToggleAndOcrPostTheirNotificationsUnlessATextFieldIsBeingEdited) {
    QStringList posted;
    QElapsedTimer clock;
    qint64 toggleAt = -1;
    qint64 captureAt = -1;
    QObject context;
    auto& center = NotificationCenter::shared();
    center.addObserver(Notifications::ToggleMenuBar, &context, [&](const QVariantMap& info) {
        posted.append(info.value(QStringLiteral("isOCR")).toBool() ? QStringLiteral("ocr-toggle")
                                                                   : QStringLiteral("toggle"));
        toggleAt = clock.elapsed();
    });
    center.addObserver(Notifications::StartOCRCapture, &context, [&](const QVariantMap&) {
        posted.append(QStringLiteral("capture"));
        captureAt = clock.elapsed();
    });
    center.addObserver(Notifications::TranslateWithTriggerSource, &context, [&](const QVariantMap& info) {
        posted.append(info.value(QStringLiteral("trigger_source")).toString());
    });

    // While the user types into one of our fields, no shortcut does anything.
    QWidget window;
    auto* field = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    field->setFocus();
    ASSERT_TRUE(waitUntil([&] { return m_manager.isTextFieldActive(); }));
    m_manager.handleToggleMenuBarShortcut();
    m_manager.handleStartOCRShortcut();
    m_manager.handleTranslateSelectionShortcut();
    m_manager.handleTranslateAndReplaceShortcut();
    runQueuedWork(KeyboardShortcutManager::ocrCaptureDelayMs);
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_TRUE(keys().posted.isEmpty());
    field->setReadOnly(true);
    EXPECT_FALSE(m_manager.isTextFieldActive());

    // Through the hot-key library: nothing is bound until the user records a shortcut.
    m_manager.setupShortcuts();
    auto& hotKeys = fakePlatform().fakeHotKeys();
    EXPECT_TRUE(hotKeys.registered.isEmpty());
    ASSERT_TRUE(
        KeyboardShortcuts::setShortcut(KeyboardShortcuts::Shortcut(17, 6144),
                                       KeyboardShortcuts::Name(KeyboardShortcutManager::toggleMenuBar)));
    ASSERT_EQ(hotKeys.registered.size(), 1);
    clock.start();
    hotKeys.press(hotKeys.registered.keys().value(0));
    EXPECT_EQ(posted, QStringList{QStringLiteral("toggle")});
    posted.clear();
    m_manager.handleStartOCRShortcut();
    ASSERT_TRUE(waitUntil([&] { return posted.size() == 2; }));
    EXPECT_EQ(posted, (QStringList{QStringLiteral("ocr-toggle"), QStringLiteral("capture")}));
    // A tenth of a second apart.
    EXPECT_GE(captureAt - toggleAt, 95);
}

TEST_F(ShortcutActionsTest, CaptureUsesEachApplicationsCopyRuleAndGivesTheClipboardBack) {
    const char* mask = "\u25cf\u25cf\u25cf\u25cf \u25cf\u25cf";
    // A menu, or a picker whose search field has the keyboard.
    enum class OpenPopup { None, Menu, Picker };
    struct Case {
        const char* name;
        const char* bundleIdentifier;
        quint32 windowId;
        // PRIMARY, and the window and process that own it; what the application's copy key copies.
        const char* primary;
        quint32 primaryOwner;
        qint64 primaryProcess;
        const char* copied;
        bool passwordFieldFocused;
        const char* expectedKeys;
        // Empty: nothing captured, the alert instead.
        const char* expectedText;
        // How long the shortcut's keys stay down after the press.
        int heldMs = 0;
        // The application owns the user's clipboard, and copies into it without claiming it again.
        bool ownsClipboard = false;
        // This shortcut is pressed before the shortcut's release, and its window takes the keyboard.
        void (KeyboardShortcutManager::*pressedWhileHeld)() = nullptr;
        // The text is selected in an input of ours that has the keyboard.
        const char* selectedInOurInput = "";
        // A popup of ours holds the keyboard, so the press comes as its key event.
        OpenPopup popup = OpenPopup::None;
    } cases[] = {
        {"editor", "org.example.Editor", 0x1400007, "", 0, 0, "hello", false, "Ctrl+C", "hello"},
        // Spaces and newlines are text like any other, no password's mask.
        {"spaces", "org.example.Editor", 0x1400007, "", 0, 0, "   ", false, "Ctrl+C", "   "},
        {"newlines in PRIMARY", "xterm", 0x1800002, " \n\n", 0x1800002, 977, "", false, "", " \n\n"},
        // The copy key waits for the release, however long that takes, instead of going to the grab.
        {"shortcut held as a person holds it", "org.example.Editor", 0x1400007, "", 0, 0, "hello", false,
         "Ctrl+C", "hello", 150},
        {"shortcut held a whole second", "org.example.Editor", 0x1400007, "", 0, 0, "hello", false, "Ctrl+C",
         "hello", 1000},
        // The toggle acts once the copy is made, so its window does not take the keyboard from the selection.
        {"toggle pressed before the release", "org.example.Editor", 0x1400007, "", 0, 0, "hello", false,
         "Ctrl+C", "hello", 150, false, &KeyboardShortcutManager::handleToggleMenuBarShortcut},
        {"toggle pressed while held a second", "org.example.Editor", 0x1400007, "", 0, 0, "hello", false,
         "Ctrl+C", "hello", 1000, false, &KeyboardShortcutManager::handleToggleMenuBarShortcut},
        {"screen capture pressed before the release", "org.example.Editor", 0x1400007, "", 0, 0, "hello",
         false, "Ctrl+C", "hello", 150, false, &KeyboardShortcutManager::handleStartOCRShortcut},
        // Our copy would be our own content, never taken for a copy: the input's selection is the text.
        {"our translator's input", "quillora", 0x4400003, "", 0, 0, "", false, "", "bonjour", 150, false,
         nullptr, "bonjour"},
        {"shortcut held past the wait", "org.example.Editor", 0x1400007, "", 0, 0, "hello", false, "", "",
         SelectionCapture::ReleaseWaitMs + 500},
        // Tk: its copy changes a clipboard it still owns without a new claim, so it is made to claim anew.
        {"editor that owns the clipboard", "wish", 0x1400007, "", 0, 0, "hello", false, "Ctrl+C", "hello", 0,
         true},
        {"terminal", "org.gnome.Terminal", 0x1600003, "", 0, 0, "hello", false, "Ctrl+Shift+C", "hello"},
        // Ctrl+C would interrupt xterm's program: PRIMARY holds its selection.
        {"xterm", "xterm", 0x1800002, "ls -l", 0x1800002, 977, "", false, "", "ls -l"},
        // An application nobody can name gets no key either; its toolkit owns PRIMARY through a hidden
        // window, or a second connection of its process does.
        {"unnamed", "", 0x1a00003, "from primary", 0x1a00010, 977, "", false, "", "from primary"},
        {"own process", "xterm", 0x1800002, "second connection", 0x2400001, 4242, "", false, "",
         "second connection"},
        // The last selection of another program, say a password in a browser, is nobody's selection here.
        {"another program's", "xterm", 0x1800002, "hunter2secret", 0x2200001, 977, "", false, "", ""},
        {"no focused window", "", 0, "hunter2secret", 0x2200001, 977, "", false, "", ""},
        {"mask in PRIMARY", "xterm", 0x1800002, mask, 0x1800002, 4242, "", false, "", ""},
        {"mask copied", "org.example.Editor", 0x1400007, "", 0, 0, mask, false, "Ctrl+C", ""},
        // The accessibility bus tells: no copy key, PRIMARY not read.
        {"password field", "org.example.Editor", 0x1400007, "", 0, 0, "hunter2secret", true, "", ""},
        {"password in xterm", "xterm", 0x1800002, "hunter2secret", 0x1800002, 4242, "", true, "", ""},
        // The popup closes before the copy key, which waits for the release as after any press; a popup's
        // search field is no text of ours being edited.
        {"the tray menu open", "org.example.Editor", 0x1400007, "", 0, 0, "hello", false, "Ctrl+C", "hello",
         1000, false, nullptr, "", OpenPopup::Menu},
        {"a picker with a search field open", "org.example.Editor", 0x1400007, "", 0, 0, "hello", false,
         "Ctrl+C", "hello", 150, false, nullptr, "", OpenPopup::Picker},
    };
    m_manager.setupShortcuts();
    ASSERT_TRUE(
        KeyboardShortcuts::setShortcut(KeyboardShortcuts::Shortcut(17, 6144),
                                       KeyboardShortcuts::Name(KeyboardShortcutManager::translateSelection)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keys().posted.clear();
        pasteboard().setExternalContent(userClipboard(), Mode::Clipboard, c.ownsClipboard ? c.windowId : 0,
                                        c.ownsClipboard ? 4242 : 0);
        copiesInPlace = c.ownsClipboard;
        pasteboard().setExternalString(QString::fromUtf8(c.primary), Mode::Selection, c.primaryOwner,
                                       c.primaryProcess);
        selection = QString::fromUtf8(c.copied);
        fakePlatform().fakeAccessibilityBus().answer = FocusedElement{c.passwordFieldFocused, false};
        focus(application(QString::fromUtf8(c.bundleIdentifier), c.windowId));
        QWidget ours;
        if (*c.selectedInOurInput) {
            fakePlatform().fakeWorkspace().frontmost->processId = QCoreApplication::applicationPid();
            auto* input = new QTextEdit(&ours);
            input->setPlainText(
                QStringLiteral("%1 et au revoir").arg(QString::fromUtf8(c.selectedInOurInput)));
            QTextCursor cursor(input->document());
            cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
            cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
            input->setTextCursor(cursor);
            ours.show();
            ours.activateWindow();
            input->setFocus();
            ASSERT_TRUE(waitUntil([&] { return input->hasFocus() && ours.isActiveWindow(); }));
        }
        QString captured;
        QObject context;
        QObject::connect(&m_manager, &KeyboardShortcutManager::selectionCaptured, &context,
                         [&](const QString& text) { captured = text; });
        int toggles = 0;
        NotificationCenter::shared().addObserver(
            Notifications::ToggleMenuBar, &context, [&](const QVariantMap&) {
                ++toggles;
                focus(application(QStringLiteral("quillora"), 0x4400003));
            });
        FakeHotKeyService& hotKeys = fakePlatform().fakeHotKeys();
        if (c.heldMs > 0) {
            hotKeys.held.insert(1);
            QTimer::singleShot(c.heldMs, &context, [&hotKeys] { hotKeys.release(1); });
        }
        std::unique_ptr<QWidget> popup;
        if (c.popup == OpenPopup::None) {
            m_manager.handleTranslateSelectionShortcut();
        } else {
            popup.reset(c.popup == OpenPopup::Menu ? new QMenu : new QWidget(nullptr, Qt::Popup));
            auto* field = c.popup == OpenPopup::Picker ? new QLineEdit(popup.get()) : nullptr;
            popup->show();
            if (field)
                field->setFocus();
            ASSERT_TRUE(waitUntil([&] { return QApplication::activePopupWidget() == popup.get(); }));
            // Ctrl+Alt+T, the recorded shortcut.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
            QCoreApplication::sendEvent(field ? static_cast<QWidget*>(field) : popup.get(), &press);
        }
        if (c.pressedWhileHeld)
            (m_manager.*c.pressedWhileHeld)();
        ASSERT_TRUE(waitForCapture());
        EXPECT_FALSE(QApplication::activePopupWidget());
        hotKeys.release(1);
        EXPECT_EQ(toggles, c.pressedWhileHeld ? 1 : 0);
        EXPECT_EQ(captured, QString::fromUtf8(c.expectedText));
        EXPECT_EQ(postedKeys().join(u' '), QString::fromUtf8(c.expectedKeys));
        EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
        if (captured.isEmpty()) {
            EXPECT_TRUE(m_manager.errorAlert());
            if (m_manager.errorAlert()) {
                EXPECT_EQ(m_manager.errorAlert()->informativeText(), copyFailedText);
            }
            delete m_manager.errorAlert();
        }
        if (m_manager.translationPopover())
            m_manager.translationPopover()->close();
    }
    for (const QJsonObject& entry : s_api->requestLog()) {
        const QString text = entry.value("body").toObject().value("text").toString();
        EXPECT_FALSE(text.contains(QStringLiteral("hunter2")) || text.contains(QChar(0x25cf)))
            << text.toStdString();
    }
}

TEST_F(ShortcutActionsTest, NothingCopiedTriesTwiceLeavesTheClipboardAndShowsTheAlert) {
    PasteboardSnapshot image;
    image.items.append({QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\nselected-image", 22)});
    PasteboardSnapshot emptyText;
    emptyText.items.append({QStringLiteral("text/plain"), QByteArray()});
    struct Case {
        const char* name;
        // What the focused application puts on the clipboard for each copy key.
        std::optional<PasteboardSnapshot> copied;
        int minimumMs;
        // Writes of ours: the user's clipboard put back, where a copy replaced it.
        int writes;
        // The application copies this long after the capture gave up; a copy after the grace stays.
        std::optional<int> lateCopyAfterMs = std::nullopt;
        // That late write is ours (a translation pasted), no copy of the application's: it stays.
        bool lateWriteIsOurs = false;
    } cases[] = {
        // Each row's copy keys come within the grace of the row before, which must not undo their copy.
        {"nothing selected", std::nullopt, 2 * SelectionCapture::CopyWaitMs - 50, 0},
        // The clipboard changes, but holds no text.
        {"an image selected", image, 2 * SelectionCapture::CopySettleMs - 50, 1},
        {"an empty text copied", emptyText, 2 * SelectionCapture::CopySettleMs - 50, 1},
        {"a copy that comes after the capture gave up", std::nullopt, 2 * SelectionCapture::CopyWaitMs - 50,
         1, 300},
        {"a copy that comes after the grace", std::nullopt, 2 * SelectionCapture::CopyWaitMs - 50, 0,
         SelectionCapture::LateCopyGraceMs + 300},
        {"a write of ours within the grace", std::nullopt, 2 * SelectionCapture::CopyWaitMs - 50, 1, 300,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keys().posted.clear();
        keys().onPost = [&](const PostedKey& key) {
            if (key.key == Qt::Key_C && c.copied)
                pasteboard().setExternalContent(*c.copied);
        };
        const int writesBefore = pasteboard().writeCount();
        QElapsedTimer clock;
        clock.start();
        m_manager.handleTranslateAndReplaceShortcut();
        // A second press while the first capture runs is dropped: it would save the first one's copy.
        m_manager.handleTranslateAndReplaceShortcut();
        ASSERT_TRUE(waitForCapture());
        EXPECT_GE(clock.elapsed(), c.minimumMs);
        PasteboardSnapshot expected = userClipboard();
        if (c.lateCopyAfterMs) {
            QTimer::singleShot(*c.lateCopyAfterMs, &pasteboard(), [this, &c] {
                if (c.lateWriteIsOurs)
                    pasteboard().setString(QStringLiteral("late copy"));
                else
                    pasteboard().setExternalString(QStringLiteral("late copy"));
            });
            runQueuedWork(*c.lateCopyAfterMs);
            if (*c.lateCopyAfterMs > SelectionCapture::LateCopyGraceMs || c.lateWriteIsOurs)
                expected.items = {{QStringLiteral("text/plain"), QByteArray("late copy")}};
        }
        EXPECT_EQ(postedKeys(), (QStringList{QStringLiteral("Ctrl+C"), QStringLiteral("Ctrl+C")}));
        EXPECT_EQ(pasteboard().writeCount() - writesBefore, c.writes);
        EXPECT_EQ(pasteboard().contents().items, expected.items);
        if (expected.items != userClipboard().items)
            pasteboard().setExternalContent(userClipboard());
        ASSERT_TRUE(m_manager.errorAlert());
        EXPECT_EQ(m_manager.errorAlert()->informativeText(), copyFailedText);
        m_manager.errorAlert()->close();
        ASSERT_TRUE(waitUntil([&] { return !m_manager.errorAlert(); }));
    }
    EXPECT_TRUE(s_api->requestLog().isEmpty());

    // An application whose first copy is an image and whose second is the text: the text is taken.
    keys().posted.clear();
    int copies = 0;
    keys().onPost = [&](const PostedKey& key) {
        if (key.key == Qt::Key_C && ++copies == 1)
            pasteboard().setExternalContent(image);
        else if (key.key == Qt::Key_C)
            pasteboard().setExternalString(QStringLiteral("late text"));
    };
    QString captured;
    QObject context;
    QObject::connect(&m_manager, &KeyboardShortcutManager::selectionCaptured, &context,
                     [&](const QString& text) { captured = text; });
    m_manager.handleTranslateSelectionShortcut();
    ASSERT_TRUE(waitForCapture());
    EXPECT_EQ(captured, QStringLiteral("late text"));
    EXPECT_EQ(postedKeys(), (QStringList{QStringLiteral("Ctrl+C"), QStringLiteral("Ctrl+C")}));
    EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
    if (m_manager.translationPopover())
        m_manager.translationPopover()->close();
}

TEST_F(ShortcutActionsTest, ReplaceWaitsForAnApplicationThatClaimsTheClipboardTwicePerCopy) {
    // Its copy key takes the clipboard at once and again a moment later; a capture that put the user's
    // clipboard back in between would see the late claim overwrite it, or the paste take it for the user's.
    keys().onPost = [this, copyAndPaste = keys().onPost](const PostedKey& key) {
        copyAndPaste(key);
        if (key.key == Qt::Key_C)
            QTimer::singleShot(30, &pasteboard(), [this] { pasteboard().setExternalString(selection); });
    };
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    m_manager.handleTranslateAndReplaceShortcut();
    ASSERT_TRUE(waitForToast(replacedText, SelectionReplacer::PasteReadTimeoutMs + 3000));
    EXPECT_EQ(pasted, QStringLiteral("merhaba"));
    EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
    EXPECT_EQ(postedKeys(), (QStringList{QStringLiteral("Ctrl+C"), QStringLiteral("Ctrl+V")}));
}

TEST_F(ShortcutActionsTest, FocusMovingBeforeTheCopyKeySendsNothing) {
    // The snapshot's answer comes on a later turn; by then another window has the keyboard.
    m_manager.handleTranslateSelectionShortcut();
    focus(application(QStringLiteral("xterm"), 0x1800002));
    ASSERT_TRUE(waitForCapture());
    EXPECT_TRUE(keys().posted.isEmpty());
    EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
}

TEST_F(ShortcutActionsTest, TranslateSelectionShowsTheTranslationAtThePointer) {
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    UserDefaults::standard().set(QStringLiteral("shortcutTranslationService"), QStringLiteral("deepl"));
    fakePlatform().fakeLanguageRecognizer().answers = {{QStringLiteral("hello"), QStringLiteral("en")}};
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCursor::setPos(screen.center());

    m_manager.handleTranslateSelectionShortcut();
    ASSERT_TRUE(waitUntil(
        [&] { return m_manager.translationPopover() && m_manager.translationPopover()->isShown(); }));
    PointerTranslationPopover* popover = m_manager.translationPopover();
    TranslationPopoverView* view = popover->view();
    ASSERT_TRUE(waitUntil([&] { return !view->isLoading(); }));
    EXPECT_EQ(view->translatedText(), QStringLiteral("merhaba"));
    const QJsonObject body = s_api->lastRequest()[QStringLiteral("body")].toObject();
    EXPECT_EQ(s_api->lastRequest()[QStringLiteral("path")].toString(),
              QStringLiteral("/api/translate/deepl"));
    EXPECT_EQ(body[QStringLiteral("trigger_source")].toString(), QStringLiteral("shortcut"));
    EXPECT_EQ(body[QStringLiteral("source_language")].toString(), QStringLiteral("en"));
    // Above the pointer in the middle of the screen, left of it, whole on the screen.
    const QRect frame = popover->window()->frameGeometry();
    EXPECT_LT(frame.top(), QCursor::pos().y());
    EXPECT_LT(frame.center().x(), QCursor::pos().x());
    EXPECT_TRUE(QGuiApplication::primaryScreen()->geometry().contains(frame));
    EXPECT_TRUE(popover->hasMonitors());

    // Pressed again: the old popover closes, with its monitors, before the new one opens.
    m_manager.handleTranslateSelectionShortcut();
    QPointer<PointerTranslationPopover> old(popover);
    ASSERT_TRUE(waitUntil([&] { return m_manager.translationPopover() != popover; }));
    EXPECT_TRUE(!old || (!old->isShown() && !old->hasMonitors()));
    popover = m_manager.translationPopover();
    ASSERT_TRUE(popover->isShown());

    // Escape anywhere in this application closes it and is consumed; afterwards Escape passes again.
    QLineEdit other;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(QApplication::sendEvent(&other, &escape) && escape.isAccepted());
    EXPECT_FALSE(popover->isShown());
    EXPECT_FALSE(popover->hasMonitors());

    // A press in another application closes it.
    m_manager.showTranslationPopover(QStringLiteral("hello"), QStringLiteral("en"), QStringLiteral("tr"),
                                     TranslationService::Google);
    popover = m_manager.translationPopover();
    ASSERT_TRUE(popover->isShown());
    ASSERT_FALSE(fakePlatform().mouseMonitors.isEmpty());
    FakeGlobalMouseMonitor* monitor = fakePlatform().mouseMonitors.last();
    ASSERT_TRUE(monitor);
    monitor->send(GlobalMouseEvent::Type::LeftMouseDown, popover->window()->frameGeometry().center());
    MenuPicker* picker = popover->view()->servicePicker();
    picker->showPopup();
    ASSERT_TRUE(QApplication::activePopupWidget());
    monitor->send(GlobalMouseEvent::Type::LeftMouseDown,
                  QApplication::activePopupWidget()->frameGeometry().center());
    runQueuedWork();
    picker->hidePopup();
    EXPECT_TRUE(popover->isShown());
    // A press in another window of ours (the settings window) is no click in another application,
    // whichever of the monitor and Qt reports it first.
    QWidget settings;
    settings.setGeometry(QRect(screen.topLeft(), QSize(200, 200)));
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    monitor->send(GlobalMouseEvent::Type::LeftMouseDown, screen.topLeft() + QPoint(2, 2));
    QTest::mouseClick(&settings, Qt::LeftButton, {}, QPoint(2, 2));
    runQueuedWork();
    EXPECT_TRUE(popover->isShown());
    ASSERT_TRUE(popover->hasMonitors());

    settings.hide();
    monitor->send(GlobalMouseEvent::Type::LeftMouseDown, screen.topLeft() + QPoint(2, 2));
    EXPECT_TRUE(waitUntil([&] { return !popover->isShown(); }));
    EXPECT_TRUE(fakePlatform().mouseMonitors.last().isNull());
}

// The popover grows with its view as the translation arrives: no scroll bar of the window's own, the
// provider picker whole; the translation's editor alone scrolls, and only a text longer than it.
TEST_F(ShortcutActionsTest, TheTranslationAtThePointerGrowsWithItsText) {
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().topLeft() + QPoint(500, 450));
    for (const int words : {15, 40, 80, 1200}) {
        SCOPED_TRACE(words);
        m_manager.showTranslationPopover(QStringLiteral("water ").repeated(words).trimmed(), QStringLiteral("en"),
                                         QStringLiteral("tr"), TranslationService::Google);
        TranslationPopoverView* view = m_manager.translationPopover()->view();
        ASSERT_TRUE(waitUntil([&] { return !view->isLoading(); }));
        const auto* content = m_manager.translationPopover()->window()->findChild<QAbstractScrollArea*>(
            QString(), Qt::FindDirectChildrenOnly);
        ASSERT_TRUE(content);
        EXPECT_EQ(content->viewport()->width(), view->width());
        EXPECT_EQ(content->viewport()->height(), std::max(view->height(), PointerTranslationPopover::height));
        EXPECT_FALSE(content->verticalScrollBar()->isVisible() || content->horizontalScrollBar()->isVisible());
        const QScrollBar* editorBar = view->editor()->verticalScrollBar();
        EXPECT_TRUE(waitUntil([&] { return editorBar->isVisible() == (words == 1200); }));
    }
}

TEST_F(ShortcutActionsTest, PopoverOpensLeftOfAndAboveThePointerWholeOnItsScreen) {
    const QRect screen(0, 0, 1600, 1000);
    const QSize size(PointerTranslationPopover::width, PointerTranslationPopover::height);
    struct Case {
        QPoint pointer;
        QRect expected;
    } cases[] = {
        // Its middle 225 points left of the pointer, its bottom 15 below it.
        {{800, 500}, {351, 165, 450, 350}},
        // Within 340 points of the top: below, its top 15 above the pointer; slid in from the right edge.
        {{1550, 300}, {906, 285, 450, 350}},
        {{800, 100}, {351, 85, 450, 350}},
        // Near the left and bottom edges: kept whole on the screen.
        {{40, 800}, {0, 465, 450, 350}},
        {{800, 995}, {351, 650, 450, 350}},
    };
    for (const Case& c : cases) {
        const auto anchor = PointerTranslationPopover::anchorFor(c.pointer, screen);
        const auto placement = PopoverWindow::place(size, anchor.rect, screen, anchor.edge, false);
        EXPECT_EQ(placement.frame, c.expected) << c.pointer.x() << "," << c.pointer.y();
    }
}

TEST_F(ShortcutActionsTest, ReplacePastesIntoTheSelectionsWindowAndGivesTheClipboardBack) {
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("de"));
    fakePlatform().fakeLanguageRecognizer().answers = {{QStringLiteral("hello"), QStringLiteral("en")}};
    m_manager.handleTranslateAndReplaceShortcut();
    ASSERT_TRUE(waitForToast(replacedText));
    EXPECT_EQ(toasts.first().message, QStringLiteral("Translating text with Google..."));
    EXPECT_EQ(pasted, QStringLiteral("hallo"));
    EXPECT_EQ(postedKeys(), (QStringList{QStringLiteral("Ctrl+C"), QStringLiteral("Ctrl+V")}));
    EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
    ASSERT_EQ(toasts.size(), 2);
    EXPECT_EQ(toasts.first().icon, QStringLiteral("arrow.2.circlepath"));
    EXPECT_EQ(toasts.first().duration, 1.5);
    EXPECT_EQ(toasts.last().message, replacedText);
    EXPECT_EQ(toasts.last().icon, QStringLiteral("checkmark.circle"));
    EXPECT_EQ(toasts.last().duration, 2.0);

    // In our translator's input the selection is replaced in place, one undo step, with no keys.
    QWidget ours;
    auto* input = new QTextEdit(&ours);
    input->setPlainText(QStringLiteral("hello there"));
    QTextCursor cursor(input->document());
    cursor.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    input->setTextCursor(cursor);
    ours.show();
    ours.activateWindow();
    input->setFocus();
    ASSERT_TRUE(waitUntil([&] { return input->hasFocus() && ours.isActiveWindow(); }));
    focus(application(QStringLiteral("quillora"), 0x4400003));
    fakePlatform().fakeWorkspace().frontmost->processId = QCoreApplication::applicationPid();
    keys().posted.clear();
    toasts.clear();
    m_manager.handleTranslateAndReplaceShortcut();
    ASSERT_TRUE(waitForToast(replacedText));
    EXPECT_EQ(input->toPlainText(), QStringLiteral("hallo there"));
    EXPECT_TRUE(keys().posted.isEmpty());
    EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
    input->undo();
    EXPECT_EQ(input->toPlainText(), QStringLiteral("hello there"));

    // The shortcut's grab keeps the window inactive while the key is down, and the window gets the
    // keyboard back a moment after the release: the replace waits for both, but for the keys no more than
    // a person holds them.
    QWidget grab;
    for (const int heldMs : {300, SelectionReplacer::ReleaseWaitMs + 500}) {
        SCOPED_TRACE(heldMs);
        QObject context;
        QObject::connect(&m_manager, &KeyboardShortcutManager::selectionCaptured, &context, [&grab] {
            grab.show();
            grab.activateWindow();
        });
        QObject::connect(&fakePlatform().fakeHotKeys(), &HotKeyService::hotKeyReleased, &context,
                         [&ours] { ours.activateWindow(); });
        holdAsTheTranslationArrives(heldMs);
        ASSERT_TRUE(waitUntil([&] { return input->hasFocus() && ours.isActiveWindow(); }));
        input->selectAll();
        toasts.clear();
        m_manager.handleTranslateAndReplaceShortcut();
        ASSERT_TRUE(waitUntil([&] { return toasts.size() == 2; }, SelectionReplacer::ReleaseWaitMs + 3000));
        const bool replaced = heldMs < SelectionReplacer::ReleaseWaitMs;
        EXPECT_EQ(toasts.last().message,
                  replaced ? replacedText : QStringLiteral("Translation copied: the keys stayed down"));
        EXPECT_EQ(input->toPlainText() != QStringLiteral("hello there"), replaced);
        input->setPlainText(QStringLiteral("hello there"));
    }
}

TEST_F(ShortcutActionsTest, ReplaceNeverPastesWhatItShouldNot) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString expectedToast;
        // The clipboard afterwards: the translation, or the user's own.
        bool translationOnClipboard;
        bool pasteKeys = false;
    } cases[] = {
        {"focus moved to another window",
         [this] {
             keys().onPost = [this, inner = keys().onPost](const PostedKey& key) {
                 inner(key);
                 if (key.key == Qt::Key_C)
                     focus(application(QStringLiteral("org.example.Other"), 0x2000001));
             };
         },
         QStringLiteral("Translation copied: the window changed"), true},
        // A paste key at a shell prompt could run something; the window did not change.
        {"a terminal keeps the focus",
         [this] { focus(application(QStringLiteral("org.gnome.Terminal"), 0x1600003)); },
         QStringLiteral("Translation copied: this application takes no paste"), true},
        {"empty translation", [] { s_api->failNext(QStringLiteral("empty-translation")); },
         QStringLiteral("Translation error: Invalid response from the server."), false},
        {"server error", [] { s_api->failNext(QStringLiteral("500")); },
         QStringLiteral("Translation error: Server error: Simulated server failure"), false},
        // The window may still read it, so the translation stays rather than the user's clipboard.
        {"only a clipboard manager reads the paste",
         [this] {
             readsPaste = false;
             clipboardManagerReads = true;
         },
         QStringLiteral("Translation copied: the window did not take it"), true, true},
        {"the shortcut held past the wait as the translation arrives",
         [this] { holdAsTheTranslationArrives(SelectionReplacer::ReleaseWaitMs + 500); },
         QStringLiteral("Translation copied: the keys stayed down"), true},
    };
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        toasts.clear();
        keys().posted.clear();
        pasted.clear();
        readsPaste = true;
        c.arrange();
        m_manager.handleTranslateAndReplaceShortcut();
        ASSERT_TRUE(waitForToast(c.expectedToast, SelectionReplacer::PasteReadTimeoutMs + 3000));
        EXPECT_EQ(toasts.size(), 2);
        EXPECT_TRUE(pasted.isEmpty());
        EXPECT_EQ(postedKeys().contains(QStringLiteral("Ctrl+V")), c.pasteKeys);
        if (c.translationOnClipboard) {
            EXPECT_EQ(pasteboard().currentString(), QStringLiteral("merhaba"));
        } else {
            EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
        }
        EXPECT_FALSE(std::any_of(toasts.begin(), toasts.end(),
                                 [](const Toast& toast) { return toast.message == replacedText; }));
        fakePlatform().fakeHotKeys().release(1);
    }
}

TEST_F(ShortcutActionsTest, ReplaceGivesTheClipboardBackOnlyAfterTheWindowReadTheTranslation) {
    const quint32 window = 0x1400007;
    // When the shortcut is pressed again before the first replace is done.
    enum class Again { Never, AsTheTranslationArrives, AsThePasteIsRead };
    struct Case {
        const char* name;
        QList<TargetRead> reads;
        // The window took its time, so the user first heard it had not.
        bool lateRead = false;
        // The shortcut is held again as the translation arrives.
        int heldMs = 0;
        Again again = Again::Never;
    } cases[] = {
        {"through a second connection of the window's process", {{0, readFrom(0x5e00001)}}},
        {"after asking for a format the translation lacks",
         {{0, readFrom(window + 3, false)}, {SelectionReplacer::PasteSettleMs * 3, readFrom(window + 3)}}},
        {"after the time-out", {{SelectionReplacer::PasteReadTimeoutMs + 300, readFrom(window + 3)}}, true},
        // The paste keys wait for the release instead of going to the shortcut's grab.
        {"the shortcut held as a person holds it", {}, false, 150},
        {"the shortcut held a second", {}, false, 1000},
        // The second copies the word still selected: its translation takes the first one's place.
        {"pressed again as the translation arrives", {}, false, 1000, Again::AsTheTranslationArrives},
        // Its copy waits for the paste, which would otherwise be saved as the user's clipboard and kept;
        // by then the window holds no selection.
        {"pressed again as the window reads the paste",
         {{300, readFrom(window + 3)}},
         false,
         0,
         Again::AsThePasteIsRead},
    };
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        toasts.clear();
        keys().posted.clear();
        readsPaste = true;
        targetReads = c.reads;
        if (c.heldMs > 0)
            holdAsTheTranslationArrives(c.heldMs, c.again == Again::AsTheTranslationArrives);
        if (c.again == Again::AsThePasteIsRead)
            keys().onPost = [this, copyAndPaste = keys().onPost](const PostedKey& key) {
                copyAndPaste(key);
                if (key.key == Qt::Key_V)
                    QTimer::singleShot(0, &m_manager,
                                       [this] { m_manager.handleTranslateAndReplaceShortcut(); });
            };
        int finished = 0;
        QObject context;
        QObject::connect(m_manager.replacer(), &SelectionReplacer::finished, &context, [&] { ++finished; });
        m_manager.handleTranslateAndReplaceShortcut();
        const int replaces = c.again == Again::AsTheTranslationArrives ? 2 : 1;
        EXPECT_TRUE(waitForToast(replacedText, SelectionReplacer::PasteReadTimeoutMs + 3000));
        EXPECT_TRUE(waitUntil([&] { return finished == replaces && !m_manager.isCapturing(); }));
        EXPECT_TRUE(waitUntil([&] { return !pasted.isEmpty(); }));
        // Once, however often the shortcut was pressed.
        EXPECT_EQ(pasted, QStringLiteral("merhaba"));
        EXPECT_EQ(postedKeys().count(QStringLiteral("Ctrl+V")), 1);
        EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
        QStringList messages;
        for (const Toast& toast : std::as_const(toasts))
            messages.append(toast.message);
        QStringList expected{QStringLiteral("Translating text with Google...")};
        if (c.again == Again::AsTheTranslationArrives)
            expected.append(expected.first());
        if (c.lateRead)
            expected.append(QStringLiteral("Translation copied: the window did not take it"));
        expected.append(replacedText);
        EXPECT_EQ(messages, expected);
        EXPECT_EQ(m_manager.errorAlert() != nullptr, c.again == Again::AsThePasteIsRead);
        delete m_manager.errorAlert();
        fakePlatform().fakeHotKeys().release(1);
    }
}

} // namespace
