#include "menubar/translator/TextOutputView.h"

#include "menubar/look/Color.h"
#include "menubar/look/Theme.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

TextOutputView::Recorder& recorder() {
    static TextOutputView::Recorder instance;
    return instance;
}

} // namespace

void TextOutputView::setRecorder(Recorder recorder) {
    ::recorder() = std::move(recorder);
}

TextOutputView::TextOutputView(QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    m_text = new QTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setAcceptRichText(false);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_text->viewport()->setAutoFillBackground(false);
    m_text->document()->setDocumentMargin(textInset);
    QFont font;
    font.setPixelSize(16);
    m_text->setFont(font);
    m_text->setFixedHeight(minimumScrollHeight);
    column->addWidget(m_text);

    m_placeholder = new QLabel(QStringLiteral("Translation will appear here..."), this);
    QFont placeholderFont;
    placeholderFont.setPixelSize(14);
    m_placeholder->setFont(placeholderFont);
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_placeholder->move(cardPadding + 4, cardPadding + 2);

    connect(m_text->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &TextOutputView::updateScrollHeight);
    Theme::applyShadow(this, Theme::smallShadow());
    Theme::followAppearance(this, [this] {
        QPalette palette = m_text->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        palette.setColor(QPalette::Text, Theme::primaryText());
        m_text->setPalette(palette);
        QPalette placeholder = m_placeholder->palette();
        placeholder.setColor(QPalette::WindowText, Color::withOpacity(Theme::secondaryText(), 0.7));
        m_placeholder->setPalette(placeholder);
        update();
    });
}

void TextOutputView::setContent(const Record& record) {
    const bool changed = record.translatedText != m_record.translatedText;
    m_record = record;
    if (!changed)
        return;
    m_text->setPlainText(record.translatedText);
    m_placeholder->setVisible(record.translatedText.isEmpty());
    recordTranslation();
}

void TextOutputView::recordTranslation() {
    if (m_record.translatedText.isEmpty() || m_record.sourceText.isEmpty())
        return;
    if (recorder())
        recorder()(m_record);
}

void TextOutputView::updateScrollHeight() {
    const int content = int(std::ceil(m_text->document()->size().height()));
    const int height = std::clamp(content, minimumScrollHeight, maximumScrollHeight);
    if (height != m_text->height())
        m_text->setFixedHeight(height);
}

void TextOutputView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Shown again with a translation on screen: it moves to the top of the history.
    if (!event->spontaneous())
        recordTranslation();
}

void TextOutputView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_placeholder->setFixedWidth(width() - 2 * (cardPadding + 4));
}

void TextOutputView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), Theme::cornerRadius, Theme::cornerRadius);
    painter.fillPath(card, Theme::fieldFill());
    painter.setPen(QPen(Theme::border(), Theme::borderWidth));
    painter.drawPath(card);
}
