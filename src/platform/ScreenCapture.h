#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Screen recording permission and the interactive region capture tool.
class ScreenCapture : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool preflightPermission() const = 0;
    // Asks the user to grant the permission, over window `over` when given, as requestTrust() does.
    virtual void requestPermission(QWidget* over) = 0;
    // Asynchronous probe of what can be captured; true when at least one screen can be grabbed.
    virtual void probeShareableContent(std::function<void(bool granted)> handler) = 0;

    // A cancel is the user's choice and leaves the clipboard alone; only a failure is worth reporting.
    enum class CaptureOutcome { Captured, Cancelled, Failed };

    // Lets the user drag a region; when captured the image is on the clipboard. Runs the capture tool as
    // a child process; the handler runs once, on the main thread.
    virtual void captureInteractiveRegionToClipboard(std::function<void(CaptureOutcome)> handler) = 0;
};
