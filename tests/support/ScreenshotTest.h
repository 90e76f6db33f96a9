#pragma once

#include "TestUtils.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QScreen>
#include <cstdio>
#include <gtest/gtest.h>
#include <utility>

// Saves the screen's picture of `area` (within the screen) as <dir>/<name>.png once it holds still: the
// same across a frame's worth of queued work (painting, animation steps), or as it is after `timeoutMs`
// when it keeps moving (a turning ring).
inline void saveSettledShot(const QString& dir, const QString& name, QRect area, int timeoutMs = 5000) {
    QScreen* screen = QGuiApplication::primaryScreen();
    area = area.intersected(screen->geometry());
    QPixmap shot;
    QImage last;
    waitUntil(
        [&] {
            runQueuedWork(20);
            shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
            QImage image = shot.toImage();
            const bool still = !image.isNull() && image == last;
            last = std::move(image);
            return still;
        },
        timeoutMs);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    std::fprintf(stderr, "saved %s\n", qPrintable(path));
}

// A base for the screenshot programs (tests/screenshots/): runs only when QUILLORA_SCREENSHOT_DIR names
// where to save, switches between light and dark appearance and restores the palette, and saves parts of
// the screen by name.
class ScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = qEnvironmentVariable("QUILLORA_SCREENSHOT_DIR");
        if (m_dir.isEmpty())
            GTEST_SKIP() << "QUILLORA_SCREENSHOT_DIR is not set";
        QDir().mkpath(m_dir);
        m_saved = QApplication::palette();
    }
    void TearDown() override {
        if (!m_dir.isEmpty())
            QApplication::setPalette(m_saved);
    }

    // The look reads dark or light from the palette's window colour.
    void setDark(bool dark) { QApplication::setPalette(dark ? darkPalette() : m_saved); }

    static QPalette darkPalette() {
        QPalette palette = QApplication::palette();
        const QColor window(45, 45, 48), base(28, 28, 30), text(236, 236, 236);
        for (const auto& [role, color] : {std::pair{QPalette::Window, window},
                                          {QPalette::AlternateBase, window},
                                          {QPalette::Button, window},
                                          {QPalette::ToolTipBase, window},
                                          {QPalette::Base, base},
                                          {QPalette::WindowText, text},
                                          {QPalette::Text, text},
                                          {QPalette::ButtonText, text},
                                          {QPalette::ToolTipText, text},
                                          {QPalette::PlaceholderText, QColor(150, 150, 150)},
                                          {QPalette::Highlight, QColor(10, 132, 255)},
                                          {QPalette::HighlightedText, Qt::white}})
            palette.setColor(role, color);
        return palette;
    }

    // Saves the part of the screen around `area` as <name>.png once it holds still (see saveSettledShot).
    void shoot(const QString& name, QRect area, int margin = 16, int timeoutMs = 5000) {
        saveSettledShot(m_dir, name, area.adjusted(-margin, -margin, margin, margin), timeoutMs);
    }

    QString m_dir;
    QPalette m_saved;
};
