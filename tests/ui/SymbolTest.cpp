#include "ui/Symbol.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// Every symbol name the windows of the application ask for.
const char* const usedSymbols[] = {"app.fill",
                                   "arrow.2.circlepath",
                                   "arrow.clockwise",
                                   "arrow.down.and.line.horizontal.and.arrow.up",
                                   "arrow.left.arrow.right",
                                   "arrow.right.circle.fill",
                                   "arrow.triangle.2.circlepath",
                                   "bookmark",
                                   "bookmark.fill",
                                   "briefcase",
                                   "camera.viewfinder",
                                   "checkmark",
                                   "checkmark.circle",
                                   "checkmark.circle.fill",
                                   "chevron.down",
                                   "chevron.left",
                                   "chevron.up.chevron.down",
                                   "clock.arrow.circlepath",
                                   "command",
                                   "doc.on.doc",
                                   "doc.text.fill",
                                   "ellipsis",
                                   "exclamationmark.triangle",
                                   "eye.slash",
                                   "face.smiling",
                                   "filemenu.and.cursorarrow",
                                   "gear",
                                   "gearshape",
                                   "gearshape.fill",
                                   "globe",
                                   "hand.wave.fill",
                                   "info.circle",
                                   "lock.fill",
                                   "magnifyingglass",
                                   "plus.circle.fill",
                                   "questionmark.circle.fill",
                                   "speaker.wave.2",
                                   "speaker.wave.2.fill",
                                   "stop.fill",
                                   "text.alignleft",
                                   "wand.and.sparkles",
                                   "xmark",
                                   "xmark.circle",
                                   "xmark.circle.fill"};

// Colours of the drawn (non-transparent) pixels, and how many there are.
struct Ink {
    int count = 0;
    bool singleColour = true;
    QRgb colour = 0;
};

Ink inkOf(const QImage& image) {
    Ink ink;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb pixel = argb.pixel(x, y);
            if (qAlpha(pixel) != 255)
                continue;
            if (ink.count == 0)
                ink.colour = pixel;
            else if (pixel != ink.colour)
                ink.singleColour = false;
            ++ink.count;
        }
    }
    return ink;
}

} // namespace

TEST(Symbol, EveryUsedSymbolIsBundledAndDraws) {
    for (const char* name : usedSymbols) {
        const QString symbol = QString::fromLatin1(name);
        ASSERT_TRUE(Symbol::exists(symbol)) << name;
        const QPixmap pixmap = Symbol::pixmap(symbol, QSize(24, 24), Qt::black);
        ASSERT_FALSE(pixmap.isNull()) << name;
        EXPECT_GT(inkOf(pixmap.toImage()).count, 10) << name;
    }
}

TEST(Symbol, IsTintedInTheAskedColourOnly) {
    const QImage image =
        Symbol::pixmap(QStringLiteral("stop.fill"), QSize(32, 32), QColor(255, 59, 48)).toImage();
    const Ink ink = inkOf(image);
    ASSERT_GT(ink.count, 100);
    EXPECT_TRUE(ink.singleColour);
    EXPECT_EQ(ink.colour, QColor(255, 59, 48).rgba());
    // Translucent tints keep their alpha.
    const QImage faint =
        Symbol::pixmap(QStringLiteral("stop.fill"), QSize(32, 32), QColor(0, 0, 0, 100)).toImage();
    EXPECT_EQ(qAlpha(faint.pixel(16, 16)), 100);
}

TEST(Symbol, RendersAtTheDevicePixelRatio) {
    const QPixmap pixmap = Symbol::pixmap(QStringLiteral("xmark"), QSize(12, 14), Qt::black, 2.0);
    EXPECT_EQ(pixmap.size(), QSize(24, 28));
    EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
    EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(12, 14));
}

TEST(Symbol, UnknownNamesDrawNothing) {
    EXPECT_FALSE(Symbol::exists(QStringLiteral("no.such.symbol")));
    EXPECT_FALSE(Symbol::exists(QString()));
    EXPECT_TRUE(Symbol::pixmap(QStringLiteral("no.such.symbol"), QSize(16, 16), Qt::black).isNull());
    EXPECT_TRUE(Symbol::icon(QStringLiteral("no.such.symbol"), Qt::black).isNull());
}

TEST(Symbol, IconAsksForItsColourAtPaintTime) {
    QColor current = Qt::red;
    const QIcon icon = Symbol::icon(QStringLiteral("stop.fill"), [&current] { return current; });
    EXPECT_EQ(inkOf(icon.pixmap(QSize(20, 20)).toImage()).colour, QColor(Qt::red).rgba());
    current = Qt::blue;
    EXPECT_EQ(inkOf(icon.pixmap(QSize(20, 20)).toImage()).colour, QColor(Qt::blue).rgba());

    // Asked for at ratio 2, the icon draws at twice the pixels.
    const QPixmap sharp = icon.pixmap(QSize(20, 20), 2.0);
    EXPECT_EQ(sharp.size(), QSize(40, 40));

    // Disabled icons fade.
    const QImage disabled = icon.pixmap(QSize(20, 20), QIcon::Disabled).toImage();
    EXPECT_LT(qAlpha(disabled.pixel(10, 10)), 128);
}
