#pragma once

#include <QObject>

#include <functional>

// Screen recording permission and the interactive region capture tool.
class ScreenCapture : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool preflightPermission() const = 0;
    virtual void requestPermission() = 0;
    // Asynchronous probe of what can be captured; true when at least one screen can be grabbed.
    virtual void probeShareableContent(std::function<void(bool granted)> handler) = 0;

    // Lets the user drag a region; on success the image is on the clipboard. Runs the capture tool as a
    // child process; the handler runs once, on the main thread, with false on cancel or failure.
    virtual void captureInteractiveRegionToClipboard(std::function<void(bool captured)> handler) = 0;
};
