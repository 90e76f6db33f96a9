// The shortcuts of the real binary in X clients nobody here wrote: a word selected in xterm is translated in
// a popover at the pointer without a copy key reaching xterm's program, while another program's PRIMARY or a
// password's mask selected in xterm is never sent; a word selected in mousepad or in
// LibreOffice (on its own X11 toolkit and on GTK) is replaced by its translation, once however often the
// shortcut is pressed, also with the tray icon's menu open, while the user's clipboard (text and an image)
// stays as it was; a Tk editor's copy into a clipboard it already owns is noticed; with
// "alwaysOnTop" on, the toggle shortcut opens the tray popover
// but never closes it, also from under the tray icon's open menu, the region capture starts over it, and a
// selection in its input is replaced by its translation.
#include "AppRoad.h"
#include "Desktop.h"
#include "TestUtils.h"

#include <QBuffer>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Ctrl+Alt+T and Ctrl+Alt+R in the stored form: virtual key codes of T and R, Control and Option bits.
const QString kTranslateShortcut = QStringLiteral(R"({"carbonKeyCode":17,"carbonModifiers":6144})");
const QString kReplaceShortcut = QStringLiteral(R"({"carbonKeyCode":15,"carbonModifiers":6144})");
// Ctrl+Alt+M and Ctrl+Alt+O.
const QString kToggleShortcut = QStringLiteral(R"({"carbonKeyCode":46,"carbonModifiers":6144})");
const QString kOcrShortcut = QStringLiteral(R"({"carbonKeyCode":31,"carbonModifiers":6144})");

using Desktop::xdotool;

QByteArray clipboard(const QString& selection, const QString& target = {}) {
    return Desktop::selection(selection, target);
}

// An X client started with a home of its own, so nothing of the user's is read or written.
class Client {
public:
    Client(const QString& program, const QStringList& arguments, const QProcessEnvironment& extra = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        environment.insert(extra);
        m_process.setProcessEnvironment(environment);
        m_process.start(program, arguments);
    }
    ~Client() {
        // A launcher may have started the process that owns the window.
        if (m_windowPid > 0 && m_windowPid != m_process.processId()) {
            ::kill(pid_t(m_windowPid), SIGTERM);
            if (!waitUntil([&] { return ::kill(pid_t(m_windowPid), 0) != 0; }, 5000))
                ::kill(pid_t(m_windowPid), SIGKILL);
        }
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    // Its window once it has the keyboard focus: the process's own, or the one whose title matches `name`.
    std::optional<quint32> waitForFocus(const QString& name = {}) {
        const QStringList search =
            name.isEmpty() ? QStringList{QStringLiteral("--pid"), QString::number(m_process.processId())}
                           : QStringList{QStringLiteral("--onlyvisible"), QStringLiteral("--name"), name};
        std::optional<quint32> found;
        waitUntil(
            [&] {
                const QByteArray out =
                    runTool(QStringLiteral("xdotool"), QStringList{QStringLiteral("search")} + search)
                        .value_or(QByteArray());
                const QList<QByteArray> ids = out.trimmed().split('\n');
                if (ids.isEmpty() || ids.last().isEmpty())
                    return false;
                const QString id = QString::fromLatin1(ids.last());
                xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
                const QByteArray active =
                    runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")})
                        .value_or(QByteArray());
                if (active.trimmed() != id.toLatin1())
                    return false;
                found = id.toUInt();
                return true;
            },
            30000);
        if (found)
            m_windowPid =
                runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowpid"), QString::number(*found)})
                    .value_or(QByteArray())
                    .trimmed()
                    .toLongLong();
        return found;
    }
    QString path(const QString& name) const { return m_home.filePath(name); }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    qint64 m_windowPid = 0;
};

class ShortcutRoad : public AppRoad {
protected:
    void SetUp() override {
        AppRoad::SetUp();
        m_app.setSetting(QStringLiteral("KeyboardShortcuts_translateSelection"), kTranslateShortcut);
        m_app.setSetting(QStringLiteral("KeyboardShortcuts_translateAndReplace"), kReplaceShortcut);
        m_app.setSetting(QStringLiteral("KeyboardShortcuts_toggleMenuBar"), kToggleShortcut);
        m_app.setSetting(QStringLiteral("KeyboardShortcuts_startOCR"), kOcrShortcut);
        // The popover then closes only on Escape or a click on the tray icon. (A first launch would reset
        // the setting.)
        m_app.setSetting(QStringLiteral("hasEverLaunched"), true);
        m_app.setSetting(QStringLiteral("alwaysOnTop"), true);
        m_app.setSetting(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
        m_app.setSetting(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
        ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));
    }
    bool waitForShortcutRequest(const QString& text) {
        return waitUntil(
            [&] {
                for (const QJsonObject& entry : m_api.requestLog()) {
                    const QJsonObject body = entry.value("body").toObject();
                    if (body.value("trigger_source").toString() == QLatin1String("shortcut") &&
                        body.value("text").toString() == text)
                        return true;
                }
                return false;
            },
            20000);
    }

    bool translatorShown() const { return !m_app.windows(AppUnderTest::translatorWindow).isEmpty(); }
    // As a person presses a shortcut: the keys go down, stay down a moment and come up.
    static bool pressAsAPerson(const QString& keys, int holdMs = 150) {
        if (!xdotool({QStringLiteral("keydown"), keys}))
            return false;
        QTest::qWait(holdMs);
        return xdotool({QStringLiteral("keyup"), keys});
    }
    // A word selected in an editor and a translate shortcut pressed: the editor's text becomes the
    // translation, and the user's clipboard is theirs again.
    struct ReplaceCase {
        const char* name;
        QString program;
        QStringList arguments;
        // The office suite's toolkit.
        QString toolkit;
        QByteArray word;
        QString translation;
        bool withImage = true;
        // How long the shortcut's keys stay down; 0: pressed and released at once.
        int holdMs = 0;
        // Or translate it at the pointer.
        bool replace = true;
        // The toggle is pressed too before the shortcut's keys come up.
        bool toggleBeforeRelease = false;
        // The translation answers this late, and the shortcut is pressed again and held a second meanwhile.
        int slowAnswerMs = 0;
        // The tray icon's menu is open, holding the keyboard, when the shortcut is pressed.
        bool trayMenuOpen = false;
    };
    void replaceInEditors(const std::vector<ReplaceCase>& cases) {
        // The user's clipboard: text, and an image unless a case says otherwise, owned by this process.
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(QColor(200, 30, 30));
        const auto setUsersClipboard = [&](bool withImage) {
            auto* mime = new QMimeData;
            mime->setText(QStringLiteral("user text"));
            if (withImage)
                mime->setImageData(image);
            QGuiApplication::clipboard()->setMimeData(mime);
        };
        const bool haveOffice = !QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty();
        const std::optional<QRect> icon = waitForTrayIcon();
        ASSERT_TRUE(icon);
        for (const ReplaceCase& c : cases) {
            SCOPED_TRACE(c.name);
            if (!c.toolkit.isEmpty() && !haveOffice) {
                ADD_FAILURE() << "LibreOffice is not installed (scripts/install-deps.sh)";
                continue;
            }
            setUsersClipboard(c.withImage);
            QTemporaryDir dir;
            const QString document = dir.filePath(QStringLiteral("note.txt"));
            QFile file(document);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.word);
            file.close();
            QProcessEnvironment toolkit;
            if (!c.toolkit.isEmpty())
                toolkit.insert(QStringLiteral("SAL_USE_VCLPLUGIN"), c.toolkit);
            Client editor(c.program, c.arguments + QStringList{document}, toolkit);
            ASSERT_TRUE(
                editor.waitForFocus(c.toolkit.isEmpty() ? QString() : QStringLiteral("^note.txt - ")));
            const qsizetype logFrom = m_app.log().size();
            // Selected once the editor is ready for keys.
            ASSERT_TRUE(waitUntil(
                [&] {
                    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")});
                    const QByteArray primary = clipboard(QStringLiteral("primary"));
                    return primary == c.word || primary.trimmed() == c.word;
                },
                20000));
            if (c.trayMenuOpen) {
                ASSERT_TRUE(Desktop::clickAt(icon->center(), 3));
                ASSERT_TRUE(waitUntil(Desktop::keyboardIsGrabbed, 30000));
            }
            const QString shortcut = c.replace ? QStringLiteral("ctrl+alt+r") : QStringLiteral("ctrl+alt+t");
            // Earlier rows sent the same word.
            m_api.clearRequestLog();
            if (c.slowAnswerMs > 0) {
                ASSERT_TRUE(m_api.failNext(QStringLiteral("slow"), 1, c.slowAnswerMs));
            }
            if (c.toggleBeforeRelease) {
                ASSERT_TRUE(xdotool({QStringLiteral("keydown"), shortcut, QStringLiteral("sleep"),
                                     QStringLiteral("0.1"), QStringLiteral("key"), QStringLiteral("m"),
                                     QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("keyup"),
                                     shortcut}));
            } else {
                ASSERT_TRUE(c.holdMs > 0 ? pressAsAPerson(shortcut, c.holdMs)
                                         : xdotool({QStringLiteral("key"), shortcut}));
            }
            ASSERT_TRUE(waitForShortcutRequest(QString::fromLatin1(c.word)));
            if (c.slowAnswerMs > 0) {
                ASSERT_TRUE(pressAsAPerson(shortcut, 1000));
                // The first translation is dropped before the second one is pasted.
                EXPECT_TRUE(waitUntil(
                    [&] {
                        return m_app.log().indexOf(QStringLiteral("took this one's place"), logFrom) >= 0;
                    },
                    20000));
            }
            if (c.trayMenuOpen) {
                EXPECT_FALSE(Desktop::keyboardIsGrabbed()) << "the menu stayed open";
            }
            if (c.holdMs > 0) {
                EXPECT_LT(m_app.log().indexOf(QStringLiteral("copy key 2"), logFrom), 0)
                    << "the first copy key was lost";
            }

            // The editor's text is the translation; selecting it all shows it in PRIMARY.
            QString text;
            EXPECT_TRUE(!c.replace ||
                        waitUntil(
                            [&] {
                                xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")});
                                text = QString::fromUtf8(clipboard(QStringLiteral("primary"))).trimmed();
                                return text == c.translation;
                            },
                            20000))
                << "editor text: " << text.toStdString();
            if (!c.replace) {
                EXPECT_TRUE(m_app.waitForWindow(AppUnderTest::translationWindow));
            }
            if (c.toggleBeforeRelease) {
                EXPECT_TRUE(m_app.waitForWindow(AppUnderTest::translatorWindow));
            }
            EXPECT_LT(m_app.log().indexOf(QStringLiteral("could not be pasted"), logFrom), 0);
            EXPECT_LT(m_app.log().indexOf(QStringLiteral("the window did not take it"), logFrom), 0);

            // The clipboard is the user's again, text and image.
            EXPECT_TRUE(
                waitUntil([&] { return clipboard(QStringLiteral("clipboard")) == "user text"; }, 20000));
            if (c.withImage) {
                const QImage restored =
                    QImage::fromData(clipboard(QStringLiteral("clipboard"), QStringLiteral("image/png")));
                EXPECT_EQ(restored.size(), image.size());
                EXPECT_EQ(restored.pixelColor(3, 3), image.pixelColor(3, 3));
            }
        }
        EXPECT_EQ(m_app.stop(), 0);
    }
};

} // namespace

TEST_F(ShortcutRoad, TranslateSelectionInXtermShowsThePopoverAndSendsNoCopyKey) {
    // xterm's program reads the keyboard raw: any copy key would arrive in its output file as ^C.
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("typed.txt"));
    Client xterm(QStringLiteral("xterm"),
                 {QStringLiteral("-geometry"), QStringLiteral("60x10+300+300"), QStringLiteral("-e"),
                  QStringLiteral("sh"), QStringLiteral("-c"),
                  QStringLiteral("printf 'hello\\n'; stty raw -echo; exec cat -v > \"$0\""), output});
    const std::optional<quint32> window = xterm.waitForFocus();
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(output); }, 20000));

    // Double-click the word on the first line: xterm makes it PRIMARY.
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(*window),
                         QStringLiteral("12"), QStringLiteral("8"), QStringLiteral("click"),
                         QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
                         QStringLiteral("80"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return clipboard(QStringLiteral("primary")).trimmed() == "hello"; }, 20000));

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+t")}));
    ASSERT_TRUE(waitForShortcutRequest(QStringLiteral("hello")));

    // The popover shows the answer at the pointer: select its translation as a user would, read PRIMARY.
    const std::optional<quint32> popoverWindow = m_app.waitForWindow(AppUnderTest::translationWindow);
    ASSERT_TRUE(popoverWindow);
    const std::optional<QRect> popover = AppUnderTest::windowGeometry(*popoverWindow);
    ASSERT_TRUE(popover);
    EXPECT_EQ(popover->size(), QSize(450, 350));
    const QPoint pointer = QCursor::pos();
    // Its middle 225 points left of the pointer, where the screen leaves room for that.
    if (pointer.x() >= 470) {
        EXPECT_NEAR(popover->center().x(), pointer.x() - 225, 2);
    }
    if (!qEnvironmentVariableIsEmpty("QUILLORA_SCREENSHOT_DIR") && Desktop::waitUntilSettled([&] {
            const QImage image = AppUnderTest::windowImage(*popoverWindow);
            return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
        }))
        runTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                           QDir(qEnvironmentVariable("QUILLORA_SCREENSHOT_DIR"))
                                               .filePath(QStringLiteral("shortcut-popover.png"))});
    QString selected;
    EXPECT_TRUE(Desktop::selectLineUntil({popover->topLeft() + QPoint(60, 190)}, QStringLiteral("merhaba"),
                                         &selected))
        << "selected: " << selected.toStdString();

    // Keys reach xterm's program in order: once a key typed now has arrived, any the app sent has too.
    ASSERT_TRUE(xterm.waitForFocus());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("q")}));
    QByteArray typed;
    EXPECT_TRUE(waitUntil(
        [&] {
            QFile file(output);
            typed = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            return typed.endsWith('q');
        },
        20000));
    EXPECT_EQ(typed, QByteArray("q")) << "xterm's program received keys";
    EXPECT_EQ(m_app.stop(), 0);
}

TEST_F(ShortcutRoad, InXtermWithoutItsOwnSelectionNothingIsSentAndTheAlertShows) {
    struct Case {
        const char* name;
        // What xterm shows, and whether its line is selected.
        const char* line;
        bool selected;
        // Another program holds PRIMARY: a password selected in a browser, say.
        bool otherOwner;
    } cases[] = {
        {"another program's PRIMARY", "hello", false, true},
        {"a password's mask", "\u25cf\u25cf\u25cf\u25cf \u25cf\u25cf", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment utf8;
        utf8.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        Client xterm(QStringLiteral("xterm"),
                     {QStringLiteral("-u8"), QStringLiteral("-geometry"), QStringLiteral("60x10+300+300"),
                      QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                      QStringLiteral("printf '%s\\n' \"$0\"; exec cat"), QString::fromUtf8(c.line)},
                     utf8);
        const std::optional<quint32> window = xterm.waitForFocus();
        ASSERT_TRUE(window);
        std::unique_ptr<Client> owner;
        if (c.otherOwner) {
            owner =
                std::make_unique<Client>(QStringLiteral(QUILLORA_TEST_CLIPBOARDOWNER_PATH),
                                         QStringList{QStringLiteral("--primary"), QStringLiteral("--text"),
                                                     QStringLiteral("hunter2secret")});
            ASSERT_TRUE(
                waitUntil([&] { return clipboard(QStringLiteral("primary")) == "hunter2secret"; }, 20000));
            ASSERT_TRUE(xterm.waitForFocus());
        }
        if (c.selected) {
            ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"),
                                 QString::number(*window), QStringLiteral("12"), QStringLiteral("8"),
                                 QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("3"),
                                 QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
            ASSERT_TRUE(waitUntil(
                [&] {
                    return QString::fromUtf8(clipboard(QStringLiteral("primary"))).trimmed() ==
                           QString::fromUtf8(c.line);
                },
                20000));
        }

        const qsizetype requestsBefore = requestsTo(QStringLiteral("/api/translate")).size();
        // Held as a person holds it: the alert opens while the keys are still down.
        ASSERT_TRUE(pressAsAPerson(QStringLiteral("ctrl+alt+t")));
        // The alert carries the app's name; a translation would have been asked for before any popover.
        std::optional<quint32> alert;
        ASSERT_TRUE(waitUntil(
            [&] {
                const QList<quint32> windows = m_app.windows(AppUnderTest::translatorWindow);
                alert = windows.isEmpty() ? std::nullopt : std::optional<quint32>(windows.first());
                return alert || requestsTo(QStringLiteral("/api/translate")).size() != requestsBefore;
            },
            20000));
        EXPECT_EQ(requestsTo(QStringLiteral("/api/translate")).size(), requestsBefore);
        ASSERT_TRUE(alert);
        ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*alert));
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        ASSERT_TRUE(m_app.waitForNoWindow(AppUnderTest::translatorWindow));
        if (!c.selected) {
            // The shortcut pressed during the alert still acts on the next press: on xterm's own selection.
            ASSERT_TRUE(xterm.waitForFocus());
            owner.reset();
            ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"),
                                 QString::number(*window), QStringLiteral("12"), QStringLiteral("8"),
                                 QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                                 QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
            ASSERT_TRUE(
                waitUntil([&] { return clipboard(QStringLiteral("primary")).trimmed() == c.line; }, 20000));
            ASSERT_TRUE(pressAsAPerson(QStringLiteral("ctrl+alt+t")));
            EXPECT_TRUE(waitForShortcutRequest(QString::fromUtf8(c.line)))
                << "the press after the alert was lost";
            // Its popover goes with a click elsewhere, off the next case's window.
            ASSERT_TRUE(m_app.waitForWindow(AppUnderTest::translationWindow));
            ASSERT_TRUE(Desktop::clickAt(QPoint(1400, 900)));
            ASSERT_TRUE(m_app.waitForNoWindow(AppUnderTest::translationWindow));
        }
    }
    for (const QJsonObject& request : requestsTo(QStringLiteral("/api/translate")))
        EXPECT_EQ(request.value("body").toObject().value("text").toString(), QStringLiteral("hello"));
    EXPECT_EQ(m_app.stop(), 0);
}

TEST_F(ShortcutRoad, TranslateSelectionInATkEditorThatOwnsTheClipboard) {
    // Tk copies into a clipboard it owns without claiming it again.
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("editor.tcl"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("wm title . {tk editor}\n"
               "text .t -width 40 -height 5\n"
               "pack .t\n"
               ".t insert end {hello tk}\n"
               "clipboard clear\n"
               "clipboard append {earlier copy}\n"
               "focus .t\n"
               ".t tag add sel 1.0 {end - 1c}\n");
    file.close();
    Client tk(QStringLiteral("wish"), {script});
    ASSERT_TRUE(tk.waitForFocus(QStringLiteral("^tk editor$")));
    ASSERT_TRUE(waitUntil([&] { return clipboard(QStringLiteral("primary")) == "hello tk"; }, 20000));
    ASSERT_EQ(clipboard(QStringLiteral("clipboard")), "earlier copy");
    const qsizetype logFrom = m_app.log().size();

    ASSERT_TRUE(pressAsAPerson(QStringLiteral("ctrl+alt+t")));
    EXPECT_TRUE(waitForShortcutRequest(QStringLiteral("hello tk")));
    EXPECT_LT(m_app.log().indexOf(QStringLiteral("copy key 2"), logFrom), 0);
    // The user's clipboard is put back, by us now.
    EXPECT_TRUE(waitUntil([&] { return clipboard(QStringLiteral("clipboard")) == "earlier copy"; }, 20000));
    EXPECT_EQ(m_app.stop(), 0);
}

TEST_F(ShortcutRoad, TranslateAndReplaceInEditorsKeepsTheUsersClipboard) {
    const QStringList office{QStringLiteral("--norestore"), QStringLiteral("--nologo"),
                             QStringLiteral("--nolockcheck"), QStringLiteral("--writer")};
    replaceInEditors({
        // The copy key reaches the editor at the first try, however long the shortcut is held.
        {"mousepad",
         QStringLiteral("mousepad"),
         {QStringLiteral("--disable-server")},
         {},
         "hello",
         QStringLiteral("merhaba"),
         true,
         150},
        {"mousepad, the shortcut held a second",
         QStringLiteral("mousepad"),
         {QStringLiteral("--disable-server")},
         {},
         "hello",
         QStringLiteral("merhaba"),
         true,
         1000},
        // It reads through a second connection of its own. With an image it pastes by the formats it
        // listed up to 2 s earlier, when the selection changed, so it would ask for the image, which the
        // translation cannot answer; then the translation stays on the clipboard (a unit test's case).
        {"LibreOffice on X11", QStringLiteral("soffice"), office, QStringLiteral("gen"), "book",
         QStringLiteral("kitap"), false},
        {"LibreOffice on GTK", QStringLiteral("soffice"), office, QStringLiteral("gtk3"), "water",
         QStringLiteral("su")},
        {"mousepad, translated at the pointer",
         QStringLiteral("mousepad"),
         {QStringLiteral("--disable-server")},
         {},
         "hello",
         QStringLiteral("merhaba"),
         true,
         150,
         false},
        {"mousepad, translated at the pointer, the shortcut held a second",
         QStringLiteral("mousepad"),
         {QStringLiteral("--disable-server")},
         {},
         "hello",
         QStringLiteral("merhaba"),
         true,
         1000,
         false},
    });
}

// Apart from the rows above: together they came near the time one test is given on a busy machine.
TEST_F(ShortcutRoad, TranslateInMousepadWithTheShortcutPressedAgainSpacesOrTheTrayMenuOpen) {
    replaceInEditors({
        // The second replace copies the word before the first one's paste, and its translation takes the
        // first one's place.
        {"mousepad, the shortcut pressed again as a slow answer arrives",
         QStringLiteral("mousepad"),
         {QStringLiteral("--disable-server")},
         {},
         "hello",
         QStringLiteral("merhaba"),
         true,
         150,
         true,
         false,
         600},
        // The translator opens once the word is copied, rather than take the keyboard from the editor first.
        {"mousepad, translated at the pointer, the toggle pressed before the release",
         QStringLiteral("mousepad"),
         {QStringLiteral("--disable-server")},
         {},
         "hello",
         QStringLiteral("merhaba"),
         true,
         150,
         false,
         true},
        // Spaces are text like any other: the stand-in answers "[tr]" and the text, read trimmed here.
        {"mousepad, spaces", QStringLiteral("mousepad"), {QStringLiteral("--disable-server")}, {}, "   ",
         QStringLiteral("[tr]"), true, 150},
        // The menu closes, and the copy keys wait for the release, instead of going to its grab.
        {"mousepad, the tray menu open", QStringLiteral("mousepad"), {QStringLiteral("--disable-server")}, {},
         "hello", QStringLiteral("merhaba"), true, 150, true, false, 0, true},
        {"mousepad, translated at the pointer, the tray menu open, the shortcut held a second",
         QStringLiteral("mousepad"), {QStringLiteral("--disable-server")}, {}, "hello",
         QStringLiteral("merhaba"), true, 1000, false, false, 0, true},
    });
}

TEST_F(ShortcutRoad, WithAlwaysOnTopTheShortcutsOpenThePopoverAndOnlyEscapeClosesIt) {
    // With the tray icon's menu open, the toggle pressed as a person presses it opens the popover; the menu
    // stays open through its modifiers, and Escape closes the menu alone. A click on the icon closes the
    // popover again.
    const std::optional<QRect> icon = waitForTrayIcon();
    ASSERT_TRUE(icon);
    const QList<quint32> closed = m_app.windows();
    ASSERT_TRUE(Desktop::clickAt(icon->center(), 3));
    std::optional<quint32> menu;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (quint32 id : m_app.windows()) {
                if (!closed.contains(id))
                    menu = id;
            }
            return menu.has_value();
        },
        30000));
    // Keys reach the menu once it holds the keyboard.
    ASSERT_TRUE(waitUntil(Desktop::keyboardIsGrabbed, 30000));
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl"), QStringLiteral("sleep"),
                         QStringLiteral("0.05"), QStringLiteral("keydown"), QStringLiteral("alt"),
                         QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("keydown"),
                         QStringLiteral("m"), QStringLiteral("sleep"), QStringLiteral("0.15"),
                         QStringLiteral("keyup"), QStringLiteral("m"), QStringLiteral("keyup"),
                         QStringLiteral("alt"), QStringLiteral("keyup"), QStringLiteral("ctrl")}));
    std::optional<quint32> popover = m_app.waitForWindow(AppUnderTest::translatorWindow);
    ASSERT_TRUE(popover);
    EXPECT_TRUE(m_app.windows().contains(*menu)) << "the menu closed";
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    EXPECT_TRUE(waitUntil([&] { return !m_app.windows().contains(*menu); }, 20000));
    EXPECT_TRUE(translatorShown());
    ASSERT_TRUE(Desktop::clickAt(icon->center()));
    ASSERT_TRUE(m_app.waitForNoWindow(AppUnderTest::translatorWindow));

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+m")}));
    popover = m_app.waitForWindow(AppUnderTest::translatorWindow);
    ASSERT_TRUE(popover);
    // Open, with the keyboard in its input, before the next press.
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+m")}));
    EXPECT_TRUE(Desktop::holdsFor([&] { return translatorShown(); }, 1000)) << "the toggle closed it";

    // OCR: the region capture starts over the popover, which stays; Escape cancels the capture, quietly.
    const qsizetype before = m_app.log().size();
    const QString capture = QStringLiteral("^Quillora screen capture$");
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+o")}));
    EXPECT_TRUE(waitUntil([&] { return !Desktop::windowsNamed(capture).isEmpty(); }, 20000));
    EXPECT_TRUE(translatorShown());
    EXPECT_TRUE(waitUntil(
        [&] {
            xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            return Desktop::windowsNamed(capture).isEmpty();
        },
        20000));
    EXPECT_TRUE(requestsTo(QStringLiteral("/api/ocr/")).isEmpty());
    EXPECT_LT(m_app.log().indexOf(QStringLiteral("[OCRService] ❌"), before), 0);
    EXPECT_LT(m_app.log().indexOf(QStringLiteral("[OCRManager]"), before), 0);

    // Text selected in its input is translated and replaced there, as a selection anywhere else.
    ASSERT_TRUE(translatorShown());
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
    const qsizetype replaceFrom = m_app.log().size();
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("good morning")}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(pressAsAPerson(QStringLiteral("ctrl+alt+r"), 1000));
    EXPECT_TRUE(waitForShortcutRequest(QStringLiteral("good morning")));
    EXPECT_TRUE(waitUntil(
        [&] { return m_app.log().indexOf(QStringLiteral("Text translated and replaced"), replaceFrom) >= 0; },
        20000));

    // Escape in the popover closes it.
    ASSERT_TRUE(translatorShown());
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    EXPECT_TRUE(m_app.waitForNoWindow(AppUnderTest::translatorWindow));
    EXPECT_EQ(m_app.stop(), 0);
}

TEST_F(ShortcutRoad, AShortcutPressedInOurWindowsActsAgainInXterm) {
    Client xterm(QStringLiteral("xterm"), {QStringLiteral("-geometry"), QStringLiteral("60x10+100+100")});
    ASSERT_TRUE(xterm.waitForFocus());
    std::optional<QRect> icon = waitForTrayIcon();
    ASSERT_TRUE(icon);
    const struct {
        bool alwaysOnTop;
        const char* entry;
        QString window;
        int holdMs;
    } windows[] = {
        {true, "Settings", AppUnderTest::settingsWindow, 150},
        {true, "About Quillora", QStringLiteral("^About Quillora$"), 150},
        // Stacked as any window, the translator still opens over the active window of ours and stays.
        {false, "Settings", AppUnderTest::settingsWindow, 150},
        {false, "About Quillora", QStringLiteral("^About Quillora$"), 1000},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(testing::Message() << w.entry << " alwaysOnTop " << w.alwaysOnTop);
        if (!w.alwaysOnTop && m_app.setting(QStringLiteral("alwaysOnTop")).toBool()) {
            ASSERT_EQ(m_app.stop(), 0);
            m_app.setSetting(QStringLiteral("alwaysOnTop"), false);
            ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));
            icon = waitForTrayIcon();
            ASSERT_TRUE(icon);
        }
        // Left with the focus while the shortcut is pressed: the key's release goes to no window of ours.
        // The menu holds "About Quillora" above the rest while the app has a taskbar entry, as it has here.
        ASSERT_TRUE(m_app.chooseFromTrayMenu(icon->center(),
                                             QStringList{QStringLiteral("About Quillora"), QString()} +
                                                 AppUnderTest::trayMenuEnd,
                                             QString::fromLatin1(w.entry)));
        const std::optional<quint32> window = m_app.waitForWindow(w.window);
        ASSERT_TRUE(window);
        ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*window));
        ASSERT_TRUE(pressAsAPerson(QStringLiteral("ctrl+alt+m"), w.holdMs));
        std::optional<quint32> popover = m_app.waitForWindow(AppUnderTest::translatorWindow);
        ASSERT_TRUE(popover) << "the translator closed at once";
        ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        ASSERT_TRUE(m_app.waitForNoWindow(AppUnderTest::translatorWindow));
        // Closed as a user closes it, through the window manager: destroying the window under the toolkit
        // would leave the app with a widget whose window is gone.
        ASSERT_TRUE(
            xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(*window)}));
        ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*window));
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")}));
        ASSERT_TRUE(m_app.waitForNoWindow(w.window));

        ASSERT_TRUE(xterm.waitForFocus());
        ASSERT_TRUE(pressAsAPerson(QStringLiteral("ctrl+alt+m")));
        popover = m_app.waitForWindow(AppUnderTest::translatorWindow);
        ASSERT_TRUE(popover) << "the press in xterm was swallowed";
        ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popover));
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        ASSERT_TRUE(m_app.waitForNoWindow(AppUnderTest::translatorWindow));
    }
    EXPECT_EQ(m_app.stop(), 0);
}
