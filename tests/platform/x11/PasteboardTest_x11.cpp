// The clipboard of a real X display: other clients own it (xclip), we read, snapshot and restore it.
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "platform/x11/X11Platform.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QWindow>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

namespace {

using Mode = Pasteboard::Mode;

const QString kClipboard = QStringLiteral("clipboard");
const QString kPrimary = QStringLiteral("primary");

// Another X client owning a selection until it is replaced or destroyed.
class XclipOwner {
public:
    XclipOwner(const QString& selection, const QString& type, const QByteArray& data) {
        m_file.open();
        m_file.write(data);
        m_file.flush();
        QStringList args{QStringLiteral("-quiet"), QStringLiteral("-selection"), selection};
        if (!type.isEmpty())
            args << QStringLiteral("-t") << type;
        args << QStringLiteral("-i") << m_file.fileName();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(QStringLiteral("xclip"), args);
    }
    ~XclipOwner() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGCONT);
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    qint64 processId() const { return m_process.processId(); }
    void freeze() { ::kill(pid_t(m_process.processId()), SIGSTOP); }
    void quit() {
        m_process.kill();
        m_process.waitForFinished(3000);
    }

private:
    QTemporaryFile m_file;
    QProcess m_process;
};

struct XclipOutput {
    bool ok = false;
    QByteArray data;
};

// Reads a selection as another client would. The event loop keeps running: we may be the owner.
XclipOutput readWithXclip(const QString& selection, const QString& type) {
    QProcess process;
    process.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), selection,
                                            QStringLiteral("-t"), type});
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, 10000)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
            process.readAllStandardOutput()};
}

QByteArray pngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QImage noiseImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    auto* random = QRandomGenerator::global();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = random->generate();
    }
    return image;
}

class PasteboardX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            GTEST_SKIP() << "xclip is not installed (scripts/install-deps.sh)";
        installPlatform(std::make_unique<X11Platform>());
        m_pasteboard = &platform().pasteboard();
    }

    // Starts an external owner and waits until the pasteboard has seen it take over.
    std::unique_ptr<XclipOwner> own(const QString& selection, const QString& type, const QByteArray& data) {
        const Mode mode = selection == kPrimary ? Mode::Selection : Mode::Clipboard;
        const int before = m_pasteboard->changeCount(mode);
        auto owner = std::make_unique<XclipOwner>(selection, type, data);
        EXPECT_TRUE(waitUntil([&] { return m_pasteboard->changeCount(mode) > before; }))
            << "xclip never took the " << selection.toStdString() << " selection";
        return owner;
    }

    PasteboardSnapshot snapshot(int timeoutMs = 3000) {
        std::optional<PasteboardSnapshot> result;
        m_pasteboard->takeSnapshot([&](PasteboardSnapshot s) { result = std::move(s); }, timeoutMs);
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }, timeoutMs + 2000));
        return result.value_or(PasteboardSnapshot{});
    }

    std::optional<QString> readString(Mode mode = Mode::Clipboard, int timeoutMs = 3000) {
        bool answered = false;
        std::optional<QString> text;
        m_pasteboard->readString(
            [&](std::optional<QString> value) {
                answered = true;
                text = std::move(value);
            },
            mode, timeoutMs);
        EXPECT_TRUE(waitUntil([&] { return answered; }, timeoutMs + 2000));
        return text;
    }

    std::optional<QImage> readImage(int timeoutMs = 3000) {
        bool answered = false;
        std::optional<QImage> image;
        m_pasteboard->readImage(
            [&](std::optional<QImage> value) {
                answered = true;
                image = std::move(value);
            },
            timeoutMs);
        EXPECT_TRUE(waitUntil([&] { return answered; }, timeoutMs + 2000));
        return image;
    }

    Pasteboard* m_pasteboard = nullptr;
};

TEST_F(PasteboardX11Test, SnapshotAndRestoreRoundTripTextImageAndCustomType) {
    struct Case {
        QString ownerType; // what the owner offers (empty: xclip's UTF8_STRING)
        QString snapshotFormat;
        QString readBackType;
        QByteArray data;
    };
    const QByteArray binary("\x00\x01quillora\xff\xfe\x00 custom", 19);
    const QList<Case> cases{
        {QString(), QStringLiteral("text/plain"), QStringLiteral("UTF8_STRING"),
         QStringLiteral("Grüße, 世界 — line one\nline two").toUtf8()},
        // Text is kept byte for byte: a terminating NUL and bytes that are not UTF-8 come back as sent.
        {QString(), QStringLiteral("text/plain"), QStringLiteral("UTF8_STRING"),
         QByteArray("caf\xc3\xa9 \xff\xfe broken\0", 16)},
        {QStringLiteral("image/png"), QStringLiteral("image/png"), QStringLiteral("image/png"),
         pngBytes(noiseImage(40, 30))},
        {QStringLiteral("application/x-quillora-test"), QStringLiteral("application/x-quillora-test"),
         QStringLiteral("application/x-quillora-test"), binary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.snapshotFormat.toStdString());
        auto owner = own(kClipboard, c.ownerType, c.data);
        const PasteboardSnapshot saved = snapshot();
        ASSERT_TRUE(saved.hasFormat(c.snapshotFormat));
        EXPECT_EQ(saved.data(c.snapshotFormat), c.data);
        EXPECT_FALSE(saved.hasFormat(QStringLiteral("TARGETS")));

        m_pasteboard->setString(QStringLiteral("overwritten"));
        EXPECT_EQ(readWithXclip(kClipboard, QStringLiteral("UTF8_STRING")).data, QByteArray("overwritten"));

        m_pasteboard->restore(saved);
        const XclipOutput restored = readWithXclip(kClipboard, c.readBackType);
        EXPECT_TRUE(restored.ok);
        EXPECT_EQ(restored.data, c.data);
    }
}

TEST_F(PasteboardX11Test, RestoreOffersEveryTargetOfAWordProcessorsCopy) {
    // Older clients ask for the text under the targets X derives from it, compound text included.
    QProcess owner;
    owner.start(QStringLiteral(QUILLORA_TEST_CLIPBOARDOWNER_PATH),
                {QStringLiteral("--rich-text"), QStringLiteral("--text"), QStringLiteral("café au lait")});
    ASSERT_TRUE(waitUntil([&] { return owner.canReadLine(); }, 10000));
    ASSERT_EQ(owner.readLine().trimmed(), QByteArray("ready"));
    const QMap<QString, QByteArray> before = clipboardSeenFromOutside();
    for (const char* target : {"UTF8_STRING", "COMPOUND_TEXT", "STRING", "TEXT", "UTF-8", "text/plain;charset=utf-8"})
        ASSERT_TRUE(before.contains(QLatin1String(target))) << target;

    const PasteboardSnapshot saved = snapshot();
    m_pasteboard->setString(QStringLiteral("overwritten"));
    m_pasteboard->restore(saved);
    const QMap<QString, QByteArray> after = clipboardSeenFromOutside();
    EXPECT_EQ(QStringList(after.keys()).join(u' ').toStdString(), QStringList(before.keys()).join(u' ').toStdString());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_EQ(after.value(it.key()), it.value()) << qPrintable(it.key());
    owner.kill();
    owner.waitForFinished(5000);
}

TEST_F(PasteboardX11Test, LargeImageTravelsIncrementallyBothWays) {
    const QImage image = noiseImage(700, 500);
    const QByteArray png = pngBytes(image);
    ASSERT_GT(png.size(), 1024 * 1024);
    auto owner = own(kClipboard, QStringLiteral("image/png"), png);

    const std::optional<QImage> read = readImage(10000);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), image.size());

    const PasteboardSnapshot saved = snapshot(10000);
    ASSERT_EQ(saved.data(QStringLiteral("image/png")).size(), png.size());
    EXPECT_TRUE(saved.data(QStringLiteral("image/png")) == png);

    m_pasteboard->setString(QStringLiteral("in between"));
    m_pasteboard->restore(saved);
    const XclipOutput restored = readWithXclip(kClipboard, QStringLiteral("image/png"));
    EXPECT_TRUE(restored.ok);
    EXPECT_EQ(restored.data.size(), png.size());
    EXPECT_TRUE(restored.data == png);
}

TEST_F(PasteboardX11Test, ChangeCountGrowsOncePerOwnershipChangeFromAnyone) {
    int clipboardSignals = 0;
    QObject::connect(m_pasteboard, &Pasteboard::changed, m_pasteboard, [&](Pasteboard::Mode mode) {
        if (mode == Mode::Clipboard)
            ++clipboardSignals;
    });
    const int start = m_pasteboard->changeCount();
    const int primaryStart = m_pasteboard->changeCount(Mode::Selection);

    auto first = own(kClipboard, QString(), "external one");
    EXPECT_EQ(m_pasteboard->changeCount(), start + 1);
    EXPECT_FALSE(m_pasteboard->isOwnedByThisProcess());

    // Our own write counts at once, and its echo from the server does not count again.
    m_pasteboard->setString(QStringLiteral("ours"));
    EXPECT_EQ(m_pasteboard->changeCount(), start + 2);
    EXPECT_TRUE(m_pasteboard->isOwnedByThisProcess());
    settleDisplay();
    EXPECT_EQ(m_pasteboard->changeCount(), start + 2);
    EXPECT_TRUE(m_pasteboard->isOwnedByThisProcess());

    m_pasteboard->setString(QStringLiteral("ours again"));
    m_pasteboard->clearContents();
    settleDisplay();
    EXPECT_EQ(m_pasteboard->changeCount(), start + 4);

    auto second = own(kClipboard, QString(), "external two");
    EXPECT_EQ(m_pasteboard->changeCount(), start + 5);
    EXPECT_FALSE(m_pasteboard->isOwnedByThisProcess());
    settleDisplay();
    EXPECT_EQ(m_pasteboard->changeCount(), start + 5);

    EXPECT_EQ(m_pasteboard->changeCount(Mode::Selection), primaryStart);
    EXPECT_EQ(clipboardSignals, 5);
}

TEST_F(PasteboardX11Test, AWriteRightAfterAnotherClientTookOverWins) {
    // Qt claims the selection with the time of the last event it handled; here it has handled none
    // since the second client took over, so that time is older than the second client's claim.
    auto first = own(kClipboard, QString(), "taken first");
    XclipOwner second(kClipboard, QString(), "taken just now");
    QElapsedTimer elapsed;
    elapsed.start();
    bool taken = false;
    while (!taken && elapsed.elapsed() < 5000) {
        // Blocking is safe here: a client of its own answers, never this process.
        QProcess reader;
        reader.start(QStringLiteral("xclip"),
                     {QStringLiteral("-o"), QStringLiteral("-selection"), kClipboard});
        reader.waitForFinished(2000);
        taken = reader.readAllStandardOutput() == "taken just now";
    }
    ASSERT_TRUE(taken);
    m_pasteboard->setString(QStringLiteral("ours after all"));
    EXPECT_EQ(readWithXclip(kClipboard, QStringLiteral("UTF8_STRING")).data, QByteArray("ours after all"));
    settleDisplay();
    EXPECT_TRUE(m_pasteboard->isOwnedByThisProcess());
}

TEST_F(PasteboardX11Test, ReadsTextOfOtherOwnersInEitherSelection) {
    auto primary = own(kPrimary, QString(), QStringLiteral("selected in another window ✓").toUtf8());
    EXPECT_EQ(readString(Mode::Selection), QStringLiteral("selected in another window ✓"));

    // An owner that only speaks Latin-1.
    auto latin1 = own(kClipboard, QStringLiteral("STRING"), QByteArray("caf\xe9 cr\xe8me"));
    EXPECT_EQ(readString(), QStringLiteral("café crème"));
    EXPECT_FALSE(readImage().has_value());

    // Text of PRIMARY that a widget of this process selected, served by Qt on the same event loop.
    QGuiApplication::clipboard()->setText(QStringLiteral("our own selection"), QClipboard::Selection);
    EXPECT_TRUE(waitUntil([&] { return m_pasteboard->isOwnedByThisProcess(Mode::Selection); }));
    EXPECT_EQ(readString(Mode::Selection), QStringLiteral("our own selection"));
}

TEST_F(PasteboardX11Test, TheSelectionsOwnerIsMatchedToAnApplicationByItsClientOrProcess) {
    // The application: a window of this process, whose toolkit owns selections through a hidden window.
    QWindow window;
    const auto windowId = quint32(window.winId());
    const auto belongs = [&](quint32 appWindow, qint64 processId) {
        std::optional<bool> answer;
        QObject context;
        m_pasteboard->queryOwnedByApplication(Mode::Selection, appWindow, processId, &context,
                                              [&](bool b) { answer = b; });
        EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }));
        return answer.value_or(false);
    };

    QGuiApplication::clipboard()->setText(QStringLiteral("selected here"), QClipboard::Selection);
    ASSERT_TRUE(waitUntil([&] { return m_pasteboard->isOwnedByThisProcess(Mode::Selection); }));
    EXPECT_TRUE(belongs(windowId, 0)) << "the toolkit's hidden owner window";

    // A second connection of the same process owns it.
    xcb_connection_t* second = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(second));
    const xcb_window_t secondWindow = xcb_generate_id(second);
    xcb_create_window(second, XCB_COPY_FROM_PARENT, secondWindow,
                      xcb_setup_roots_iterator(xcb_get_setup(second)).data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    int before = m_pasteboard->changeCount(Mode::Selection);
    xcb_set_selection_owner(second, secondWindow, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
    xcb_flush(second);
    ASSERT_TRUE(waitUntil([&] { return m_pasteboard->changeCount(Mode::Selection) > before; }));
    EXPECT_TRUE(belongs(windowId, 0));
    xcb_disconnect(second);

    // Another program's selection: not the application's, unless its window names that program's process.
    auto xclip = own(kPrimary, QString(), "another program's");
    EXPECT_FALSE(belongs(windowId, 0));
    EXPECT_FALSE(belongs(windowId, QCoreApplication::applicationPid()));
    EXPECT_TRUE(belongs(windowId, xclip->processId()));
    EXPECT_FALSE(belongs(0, xclip->processId())) << "no window in front";
}

TEST_F(PasteboardX11Test, ConcurrentReadsEachGetTheirOwnAnswer) {
    auto clipboard = own(kClipboard, QStringLiteral("image/png"), pngBytes(noiseImage(300, 200)));
    auto primary = own(kPrimary, QString(), "primary words");

    std::optional<QString> clipboardText = QStringLiteral("unset");
    std::optional<QString> primaryText;
    std::optional<QImage> image;
    std::optional<PasteboardSnapshot> saved;
    int answers = 0;
    m_pasteboard->readString([&](std::optional<QString> v) { clipboardText = v, ++answers; });
    m_pasteboard->readString([&](std::optional<QString> v) { primaryText = v, ++answers; }, Mode::Selection);
    m_pasteboard->readImage([&](std::optional<QImage> v) { image = v, ++answers; });
    m_pasteboard->takeSnapshot([&](PasteboardSnapshot v) { saved = v, ++answers; });
    ASSERT_TRUE(waitUntil([&] { return answers == 4; }));
    EXPECT_FALSE(clipboardText.has_value());
    EXPECT_EQ(primaryText, QStringLiteral("primary words"));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), QSize(300, 200));
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->items.size(), 1);
    EXPECT_TRUE(saved->hasFormat(QStringLiteral("image/png")));
}

TEST_F(PasteboardX11Test, OwnContentIsReadBack) {
    m_pasteboard->setString(QStringLiteral("mine"));
    EXPECT_EQ(readString(), QStringLiteral("mine"));

    const QImage image = noiseImage(16, 9);
    m_pasteboard->setImage(image);
    const std::optional<QImage> read = readImage();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), image.size());
    EXPECT_FALSE(readString().has_value());

    // The image is kept as PNG bytes, which survive a restore and are served to others.
    const PasteboardSnapshot saved = snapshot();
    ASSERT_TRUE(saved.hasFormat(QStringLiteral("image/png")));
    m_pasteboard->setString(QStringLiteral("between"));
    m_pasteboard->restore(saved);
    QImage served;
    EXPECT_TRUE(served.loadFromData(readWithXclip(kClipboard, QStringLiteral("image/png")).data));
    EXPECT_EQ(served.size(), image.size());
}

TEST_F(PasteboardX11Test, RequestsForOwnContentNameTheReadersProcessAndWhatTheyGot) {
    m_pasteboard->setString(QStringLiteral("mine"));
    QList<Pasteboard::Request> requests;
    QObject::connect(m_pasteboard, &Pasteboard::contentRequested, m_pasteboard,
                     [&](const Pasteboard::Request& request) { requests.append(request); });
    struct Case {
        const char* target;
        bool formatsOnly;
        bool answered;
    } cases[] = {{"UTF8_STRING", false, true}, {"TARGETS", true, true}, {"image/png", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        requests.clear();
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), kClipboard,
                                              QStringLiteral("-t"), QString::fromLatin1(c.target)});
        ASSERT_TRUE(xclip.waitForStarted());
        const qint64 pid = xclip.processId();
        ASSERT_TRUE(waitUntil([&] { return !requests.isEmpty() && xclip.state() == QProcess::NotRunning; }));
        EXPECT_EQ(requests.first().mode, Mode::Clipboard);
        EXPECT_EQ(requests.first().process, pid);
        EXPECT_EQ(requests.first().formatsOnly, c.formatsOnly);
        EXPECT_EQ(requests.first().answered, c.answered);
    }
}

TEST_F(PasteboardX11Test, RestoringAnEmptySnapshotEmptiesTheClipboard) {
    auto owner = own(kClipboard, QString(), "to be cleared");
    m_pasteboard->restore(PasteboardSnapshot{});
    EXPECT_TRUE(m_pasteboard->isOwnedByThisProcess());
    EXPECT_FALSE(readString().has_value());
    EXPECT_TRUE(snapshot().isEmpty());
    const XclipOutput other = readWithXclip(kClipboard, QStringLiteral("UTF8_STRING"));
    EXPECT_TRUE(!other.ok || other.data.isEmpty());
}

TEST_F(PasteboardX11Test, AVanishedOwnerAnswersPromptlyWithNothing) {
    auto owner = own(kClipboard, QString(), "short-lived");
    owner->quit();
    // The server drops a killed client's selections once it notices the closed connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    const QByteArray clipboard = kClipboard.toUpper().toLatin1();
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, false, clipboard.size(), clipboard.data()),
                              nullptr),
        &std::free);
    ASSERT_TRUE(atom);
    ASSERT_TRUE(waitUntil([&] {
        std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owned(
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
            &std::free);
        return owned && owned->owner == XCB_NONE;
    }));
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(readString(Mode::Clipboard, 5000).has_value());
    EXPECT_TRUE(snapshot(5000).isEmpty());
    // Well before either timeout, even on a loaded machine.
    EXPECT_LT(elapsed.elapsed(), 4000);
}

TEST_F(PasteboardX11Test, AFrozenOwnerTimesOutWhileTheEventLoopRuns) {
    auto owner = own(kClipboard, QString(), "frozen");
    owner->freeze();

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);

    int answers = 0;
    std::optional<QString> text = QStringLiteral("unset");
    QElapsedTimer elapsed;
    elapsed.start();
    m_pasteboard->readString(
        [&](std::optional<QString> value) {
            ++answers;
            text = std::move(value);
        },
        Mode::Clipboard, 500);
    ASSERT_TRUE(waitUntil([&] { return answers > 0; }, 10000));
    const qint64 waited = elapsed.elapsed();
    EXPECT_FALSE(text.has_value());
    EXPECT_GE(waited, 450);
    // A loaded machine may fire the timeout late and coalesce ticks; a stalled loop has none.
    EXPECT_LT(waited, 3000);
    EXPECT_GE(ticks, 3) << "the event loop stalled during the read";

    bool snapshotAnswered = false;
    PasteboardSnapshot frozen;
    m_pasteboard->takeSnapshot(
        [&](PasteboardSnapshot s) {
            snapshotAnswered = true;
            frozen = std::move(s);
        },
        300);
    ASSERT_TRUE(waitUntil([&] { return snapshotAnswered; }, 10000));
    EXPECT_TRUE(frozen.isEmpty());

    settleDisplay();
    EXPECT_EQ(answers, 1);

    // Writing still works while the old owner is frozen.
    m_pasteboard->setString(QStringLiteral("after the freeze"));
    EXPECT_EQ(readString(), QStringLiteral("after the freeze"));
}

} // namespace
