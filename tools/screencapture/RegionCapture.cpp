#include "RegionCapture.h"

#include "CaptureOverlay.h"
#include "ClipboardHandOff.h"

#include <QBuffer>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <cstdio>

RegionCapture::RegionCapture() = default;

RegionCapture::~RegionCapture() = default;

bool RegionCapture::start() {
    // Grab everything first, so the overlays show the screens as they were when the capture began.
    for (QScreen* screen : QGuiApplication::screens()) {
        const QPixmap frozen = screen->grabWindow(0);
        if (frozen.isNull())
            continue;
        auto overlay = std::make_unique<CaptureOverlay>(screen, frozen, m_pointer);
        connect(overlay.get(), &CaptureOverlay::regionSelected, this, &RegionCapture::onRegionSelected);
        connect(overlay.get(), &CaptureOverlay::cancelled, this, [this] { finish(cancelledExitCode); });
        m_overlays.push_back(std::move(overlay));
    }
    if (m_overlays.empty()) {
        std::fputs("quillora-screencapture: no screen could be captured\n", stderr);
        return false;
    }

    // The keyboard goes to the overlay of the screen the pointer is on; any overlay can cancel.
    CaptureOverlay* keyboardOwner = m_overlays.front().get();
    const QPoint pointer = QCursor::pos();
    for (const auto& overlay : m_overlays) {
        overlay->show();
        if (overlay->geometry().contains(pointer))
            keyboardOwner = overlay.get();
    }
    keyboardOwner->grabKeyboardWhenShown();
    return true;
}

void RegionCapture::hideOverlays() {
    for (const auto& overlay : m_overlays) {
        overlay->releaseKeyboard();
        overlay->hide();
    }
}

void RegionCapture::onRegionSelected(const QImage& image) {
    if (m_done || m_handOff)
        return;
    hideOverlays();

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        std::fputs("quillora-screencapture: the region could not be encoded\n", stderr);
        finish(failedExitCode);
        return;
    }

    m_handOff = new ClipboardHandOff(this);
    connect(m_handOff, &ClipboardHandOff::finished, this, [this](bool owned) {
        if (!owned)
            std::fputs("quillora-screencapture: the image could not be put on the clipboard\n", stderr);
        finish(owned ? copiedExitCode : failedExitCode);
    });
    m_handOff->start(png);
}

void RegionCapture::finish(int exitCode) {
    if (m_done)
        return;
    m_done = true;
    hideOverlays();
    Q_EMIT finished(exitCode);
}
