#pragma once

#include <QColor>
#include <QString>

// Colours of the shared look. The system colours follow the current appearance (see Theme) and are
// resolved when read.
class Color {
public:
    // A colour from a hexadecimal text: "RGB", "RRGGBB" or "AARRGGBB", with non-alphanumeric characters
    // trimmed from both ends. Every text gives a colour; other lengths give a near-invisible one.
    explicit Color(const QString& hex);

    operator QColor() const { return m_color; }
    QColor qColor() const { return m_color; }

    // Shared colours of the menu-bar views.
    static QColor labelColor();
    static QColor secondaryLabelColor();
    static QColor accentColor();
    // The system separator colour at 90 % opacity, for hairlines.
    static QColor separatorColor();

    // The standard foreground colours of views (primary is the label colour; secondary is a little
    // bluer and lighter than secondaryLabelColor).
    static QColor primary();
    static QColor secondary();

    static QColor controlBackgroundColor();
    static QColor textBackgroundColor();
    static QColor windowBackgroundColor();
    static QColor red();
    static QColor green();
    static QColor orange();

    static QColor withOpacity(QColor color, qreal opacity);

private:
    QColor m_color;
};
