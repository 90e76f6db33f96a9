#pragma once

#include "NativePointerTracker.h"

#include <QObject>
#include <memory>
#include <vector>

class CaptureOverlay;
class ClipboardHandOff;
class QImage;

// One interactive capture: freezes every screen, shows an overlay on each, and hands the dragged region
// to a clipboard server. `finished` carries the process exit status.
class RegionCapture : public QObject {
    Q_OBJECT
public:
    static constexpr int copiedExitCode = 0;
    static constexpr int cancelledExitCode = 1;
    // Apart from the cancel, so the caller can tell the user something went wrong.
    static constexpr int failedExitCode = 3;

    RegionCapture();
    ~RegionCapture() override;

    // False when no screen could be grabbed.
    bool start();

Q_SIGNALS:
    void finished(int exitCode);

private:
    void onRegionSelected(const QImage& image);
    void finish(int exitCode);
    void hideOverlays();

    NativePointerTracker m_pointer;
    std::vector<std::unique_ptr<CaptureOverlay>> m_overlays;
    ClipboardHandOff* m_handOff = nullptr;
    bool m_done = false;
};
