#include "menubar/translator/TextOutputView.h"

#include "menubar/translator/TextCard.h"
#include "ui/SystemFont.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

TextOutputView::TextOutputView(QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    m_text = new QTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setAcceptRichText(false);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->document()->setDocumentMargin(textInset);
    m_text->setFont(systemFont(16));
    m_text->setFixedHeight(minimumScrollHeight);
    column->addWidget(m_text);

    m_placeholder = new QLabel(QStringLiteral("Translation will appear here..."), this);
    m_placeholder->setFont(systemFont(14));
    m_placeholder->move(cardPadding + 4, cardPadding + 2);

    connect(m_text->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &TextOutputView::updateScrollHeight);
    TextCard::style(this, m_text, m_placeholder);
}

void TextOutputView::setText(const QString& text) {
    if (text == m_shownText)
        return;
    m_shownText = text;
    m_text->setPlainText(text);
    m_placeholder->setVisible(text.isEmpty());
}

void TextOutputView::updateScrollHeight() {
    const int height = TextCard::textHeight(m_text, minimumScrollHeight, maximumScrollHeight);
    if (height != m_text->height())
        m_text->setFixedHeight(height);
}

void TextOutputView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_placeholder->setFixedWidth(width() - 2 * (cardPadding + 4));
}

void TextOutputView::paintEvent(QPaintEvent*) {
    TextCard::paint(this);
}
