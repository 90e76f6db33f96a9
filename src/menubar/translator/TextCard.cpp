#include "menubar/translator/TextCard.h"

#include "ui/Color.h"
#include "ui/DropShadow.h"
#include "ui/RoundedBox.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QPainter>
#include <QTextEdit>
#include <algorithm>
#include <cmath>

namespace TextCard {

void paint(QWidget* card) {
    QPainter painter(card);
    paintRoundedBox(painter, QRectF(card->rect()).adjusted(0.25, 0.25, -0.25, -0.25), Theme::cornerRadius,
                    Theme::fieldFill(), QPen(Theme::border(), Theme::borderWidth));
}

void style(QWidget* card, QTextEdit* text, QLabel* placeholder) {
    text->setFrameShape(QFrame::NoFrame);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->viewport()->setAutoFillBackground(false);
    placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    DropShadow::attach(card, Theme::smallShadow(), [] { return Theme::fieldFill().alphaF(); });
    Theme::followAppearance(card, [card, text, placeholder] {
        QPalette palette = text->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        palette.setColor(QPalette::Text, Theme::primaryText());
        text->setPalette(palette);
        QPalette faint = placeholder->palette();
        faint.setColor(QPalette::WindowText, Color::withOpacity(Theme::secondaryText(), 0.7));
        placeholder->setPalette(faint);
        card->update();
    });
}

int textHeight(const QTextEdit* text, int minimum, int maximum) {
    const int content = int(std::ceil(text->document()->size().height()));
    return std::clamp(content, minimum, maximum);
}

} // namespace TextCard
