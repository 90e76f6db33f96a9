#include "platform/x11/X11ScreenCapture.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/x11/PermissionExplanation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <memory>

namespace {

const QString kTag = QStringLiteral("ScreenCapture");
const QString kToolName = QStringLiteral("quillora-screencapture");
constexpr int kCopiedExitCode = 0;
// Escape or a plain click; the tool's own failures exit with other codes.
constexpr int kCancelledExitCode = 1;

} // namespace

X11ScreenCapture::X11ScreenCapture(QString toolPath, QObject* parent)
    : ScreenCapture(parent)
    , m_toolPath(std::move(toolPath)) {}

X11ScreenCapture::~X11ScreenCapture() {
    if (m_process) {
        // Going away mid-capture: take the overlay down with us, and tell nobody.
        m_process->disconnect(this);
        m_process->kill();
    }
}

QString X11ScreenCapture::toolPath() const {
    if (!m_toolPath.isEmpty())
        return m_toolPath;
    return QDir(QCoreApplication::applicationDirPath()).filePath(kToolName);
}

bool X11ScreenCapture::preflightPermission() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    // One pixel is enough to learn whether the display lets us read it.
    return !screen->grabWindow(0, 0, 0, 1, 1).isNull();
}

void X11ScreenCapture::requestPermission(QWidget* over) {
    PermissionExplanation::show(PermissionExplanation::Permission::ScreenCapture, over);
}

void X11ScreenCapture::probeShareableContent(std::function<void(bool granted)> handler) {
    MainQueue::async([this, handler = std::move(handler)] { handler(preflightPermission()); }, this);
}

void X11ScreenCapture::captureInteractiveRegionToClipboard(std::function<void(CaptureOutcome)> handler) {
    auto answer = [this, handler](CaptureOutcome outcome) {
        MainQueue::async([handler, outcome] { handler(outcome); }, this);
    };
    if (m_process) {
        debugLog(kTag, QStringLiteral("⚠️ Ekran yakalama zaten sürüyor"));
        answer(CaptureOutcome::Failed);
        return;
    }
    const QString program = toolPath();
    if (!QFileInfo(program).isExecutable()) {
        debugLog(kTag, QStringLiteral("❌ Yakalama aracı bulunamadı: ") + program);
        answer(CaptureOutcome::Failed);
        return;
    }

    auto* process = new QProcess(this);
    m_process = process;
    process->setProgram(program);
    process->setArguments({QStringLiteral("-i"), QStringLiteral("-s"), QStringLiteral("-c")});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    // The tool's exit status arrives only once its clipboard server owns the clipboard, so the image
    // can be read back as soon as the status says 0.
    auto done = std::make_shared<bool>(false);
    auto finish = [this, process, handler, done](CaptureOutcome outcome) {
        if (*done)
            return;
        *done = true;
        const QByteArray diagnostics = process->readAllStandardError().trimmed();
        if (!diagnostics.isEmpty())
            debugLog(kTag, QString::fromLocal8Bit(diagnostics));
        if (m_process == process)
            m_process = nullptr;
        process->deleteLater();
        handler(outcome);
    };
    connect(process, &QProcess::finished, this, [finish](int exitCode, QProcess::ExitStatus status) {
        const bool normal = status == QProcess::NormalExit;
        if (normal && exitCode == kCopiedExitCode)
            finish(CaptureOutcome::Captured);
        else if (normal && exitCode == kCancelledExitCode)
            finish(CaptureOutcome::Cancelled);
        else
            finish(CaptureOutcome::Failed);
    });
    connect(process, &QProcess::errorOccurred, this, [finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(CaptureOutcome::Failed);
    });
    process->start();
}
