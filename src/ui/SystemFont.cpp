#include "ui/SystemFont.h"

QFont systemFont(int size, QFont::Weight weight, bool italic) {
    QFont font;
    font.setPixelSize(size);
    font.setWeight(weight);
    font.setItalic(italic);
    return font;
}
