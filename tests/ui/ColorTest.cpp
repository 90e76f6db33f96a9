#include "ui/Color.h"

#include <gtest/gtest.h>

namespace {

struct Rgba {
    int r, g, b, a;
};

Rgba rgba(const QString& hex) {
    const QColor c = Color(hex);
    return {c.red(), c.green(), c.blue(), c.alpha()};
}

void expectColor(const QString& hex, Rgba expected) {
    const Rgba actual = rgba(hex);
    EXPECT_EQ(actual.r, expected.r) << hex.toStdString();
    EXPECT_EQ(actual.g, expected.g) << hex.toStdString();
    EXPECT_EQ(actual.b, expected.b) << hex.toStdString();
    EXPECT_EQ(actual.a, expected.a) << hex.toStdString();
}

constexpr Rgba nearInvisible{1, 1, 0, 1};

} // namespace

TEST(ColorHex, SixDigitsInAnyCaseWithSurroundingJunk) {
    for (const QString hex : {"D9EDFF", "#D9EDFF", "d9edff", "  #d9edff\n", "##D9EDFF;"})
        expectColor(hex, {217, 237, 255, 255});
    expectColor("1A2030", {0x1A, 0x20, 0x30, 255});
    expectColor("6D7588", {0x6D, 0x75, 0x88, 255});
}

TEST(ColorHex, ThreeDigitsRepeatEachDigit) {
    expectColor("F80", {255, 136, 0, 255});
    expectColor("#fff", {255, 255, 255, 255});
    expectColor("000", {0, 0, 0, 255});
}

TEST(ColorHex, EightDigitsPutAlphaFirst) {
    expectColor("80FF0000", {255, 0, 0, 128});
    expectColor("00000080", {0, 0, 128, 0});
    expectColor("80000000", {0, 0, 0, 128});
    expectColor("FF1A2030", {0x1A, 0x20, 0x30, 255});
}

TEST(ColorHex, ScanStopsAtFirstNonDigitButLengthChoosesTheForm) {
    // Nothing scans: opaque black.
    expectColor("GGGGGG", {0, 0, 0, 255});
    // Scans as 0x12.
    expectColor("12XY56", {0, 0, 18, 255});
    // Characters inside the text are not removed, so this is seven characters long.
    expectColor("D9 EDFF", nearInvisible);
}

TEST(ColorHex, OtherLengthsGiveTheNearInvisibleColour) {
    for (const QString hex : {"", "#", "FF", "FFFF", "FFFFF", "FFFFFFF", "FFFFFFFFF", "FFFFFFFFFFFFFFFFFFFF"})
        expectColor(hex, nearInvisible);
}
