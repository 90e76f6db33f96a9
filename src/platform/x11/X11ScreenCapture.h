#pragma once

#include "platform/ScreenCapture.h"

#include <QPointer>
#include <QString>

class QProcess;

// Screen capture on X11: any client may read the screen, so the "permission" is whether a screen can be
// grabbed at all. The interactive capture runs quillora-screencapture, installed beside the app.
class X11ScreenCapture : public ScreenCapture {
    Q_OBJECT
public:
    // `toolPath` empty: the tool in the running program's own directory.
    explicit X11ScreenCapture(QString toolPath = {}, QObject* parent = nullptr);
    ~X11ScreenCapture() override;

    bool preflightPermission() const override;
    // Nothing can be granted; a dialog explains what the display lacks.
    void requestPermission(QWidget* over) override;
    void probeShareableContent(std::function<void(bool granted)> handler) override;
    // One capture at a time: a request while the user is still choosing a region fails at once.
    void captureInteractiveRegionToClipboard(std::function<void(CaptureOutcome)> handler) override;

    QString toolPath() const;

private:
    QString m_toolPath;
    QPointer<QProcess> m_process;
};
