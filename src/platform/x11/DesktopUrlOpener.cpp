#include "platform/x11/DesktopUrlOpener.h"

#include <QProcess>
#include <QTimer>

#include <memory>

void DesktopUrlOpener::open(const QUrl& url, QObject* context, std::function<void(bool opened)> done,
                            const QString& program, std::chrono::milliseconds patience) {
    // The process outlives a late answer: deleting it would kill an opener that is still handing over.
    auto* process = new QProcess(context);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    auto report = std::make_shared<std::function<void(bool)>>(std::move(done));
    const auto answer = [report](bool opened) {
        if (!*report)
            return;
        const std::function<void(bool)> once = std::move(*report);
        *report = nullptr;
        once(opened);
    };
    QObject::connect(process, &QProcess::finished, process, [process, answer](int code, QProcess::ExitStatus status) {
        answer(status == QProcess::NormalExit && code == 0);
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, answer](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        answer(false);
        process->deleteLater();
    });
    QTimer::singleShot(patience, process, [answer] { answer(true); });
    process->start(program, {url.toString(QUrl::FullyEncoded)});
}
