#include "ui/Color.h"

#include "ui/Theme.h"

namespace {

bool isAlphanumeric(QChar c) {
    return c.isLetterOrNumber();
}

int hexDigit(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

QColor pick(bool dark, QColor light, QColor darkColor) {
    return dark ? darkColor : light;
}

} // namespace

Color::Color(const QString& hex) {
    qsizetype start = 0;
    qsizetype end = hex.size();
    while (start < end && !isAlphanumeric(hex.at(start)))
        ++start;
    while (end > start && !isAlphanumeric(hex.at(end - 1)))
        --end;
    const QString trimmed = hex.mid(start, end - start);

    // Read hexadecimal digits (after an optional "0x") up to the first other character, keeping what
    // was read; the form is chosen by the trimmed length, not by the digits read.
    quint64 n = 0;
    qsizetype i = 0;
    if (trimmed.size() > 2 && trimmed.at(0) == u'0' && (trimmed.at(1) == u'x' || trimmed.at(1) == u'X') &&
        hexDigit(trimmed.at(2)) >= 0)
        i = 2;
    for (; i < trimmed.size(); ++i) {
        const int digit = hexDigit(trimmed.at(i));
        if (digit < 0)
            break;
        n = (n << 4) | quint64(digit);
    }

    quint64 a = 1, r = 1, g = 1, b = 0;
    switch (trimmed.size()) {
    case 3:
        a = 255;
        r = ((n >> 8) & 0xF) * 17;
        g = ((n >> 4) & 0xF) * 17;
        b = (n & 0xF) * 17;
        break;
    case 6:
        a = 255;
        r = (n >> 16) & 0xFF;
        g = (n >> 8) & 0xFF;
        b = n & 0xFF;
        break;
    case 8:
        a = (n >> 24) & 0xFF;
        r = (n >> 16) & 0xFF;
        g = (n >> 8) & 0xFF;
        b = n & 0xFF;
        break;
    default:
        break;
    }
    m_color = QColor::fromRgbF(float(r) / 255.f, float(g) / 255.f, float(b) / 255.f, float(a) / 255.f);
}

QColor Color::withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

QColor Color::labelColor() {
    return pick(Theme::dark(), QColor(0, 0, 0, 216), QColor(255, 255, 255, 216));
}

QColor Color::secondaryLabelColor() {
    return pick(Theme::dark(), QColor(0, 0, 0, 128), QColor(255, 255, 255, 140));
}

QColor Color::accentColor() {
    return pick(Theme::dark(), QColor(0, 122, 255), QColor(10, 132, 255));
}

QColor Color::separatorColor() {
    return withOpacity(pick(Theme::dark(), QColor(0, 0, 0, 25), QColor(255, 255, 255, 25)), 0.9);
}

QColor Color::primary() {
    return labelColor();
}

QColor Color::secondary() {
    return pick(Theme::dark(), QColor(60, 60, 67, 153), QColor(235, 235, 245, 153));
}

QColor Color::controlBackgroundColor() {
    return pick(Theme::dark(), QColor(255, 255, 255), QColor(30, 30, 30));
}

QColor Color::textBackgroundColor() {
    return pick(Theme::dark(), QColor(255, 255, 255), QColor(30, 30, 30));
}

QColor Color::windowBackgroundColor() {
    return pick(Theme::dark(), QColor(236, 236, 236), QColor(50, 50, 50));
}

QColor Color::red() {
    return pick(Theme::dark(), QColor(255, 59, 48), QColor(255, 69, 58));
}

QColor Color::green() {
    return pick(Theme::dark(), QColor(52, 199, 89), QColor(48, 209, 88));
}

QColor Color::orange() {
    return pick(Theme::dark(), QColor(255, 149, 0), QColor(255, 159, 10));
}
