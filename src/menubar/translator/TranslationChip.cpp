#include "menubar/translator/TranslationChip.h"

#include "menubar/translator/AttachedPopover.h"
#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QFont abbreviationFont() {
    return systemFont(10, QFont::Medium, true);
}

QFont translationFont() {
    return systemFont(12);
}

QLabel* label(const QString& text, const QFont& font, const QColor& color) {
    auto* result = new QLabel(text);
    result->setTextFormat(Qt::PlainText);
    result->setFont(font);
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, color);
    result->setPalette(palette);
    return result;
}

} // namespace

TranslationChip::PartOfSpeech TranslationChip::partOfSpeechLabel(const QString& categoryType) {
    static const QList<std::pair<QString, PartOfSpeech>> known = {
        {QStringLiteral("noun"), {QStringLiteral("n."), QStringLiteral("Noun")}},
        {QStringLiteral("adjective"), {QStringLiteral("adj."), QStringLiteral("Adjective")}},
        {QStringLiteral("verb"), {QStringLiteral("v."), QStringLiteral("Verb")}},
        {QStringLiteral("adverb"), {QStringLiteral("adv."), QStringLiteral("Adverb")}},
        {QStringLiteral("pronoun"), {QStringLiteral("pron."), QStringLiteral("Pronoun")}},
        {QStringLiteral("preposition"), {QStringLiteral("prep."), QStringLiteral("Preposition")}},
        {QStringLiteral("conjunction"), {QStringLiteral("conj."), QStringLiteral("Conjunction")}},
        {QStringLiteral("interjection"), {QStringLiteral("interj."), QStringLiteral("Interjection")}},
    };
    const QString lower = categoryType.toLower();
    for (const auto& [type, label] : known) {
        if (type == lower)
            return label;
    }
    return {QString(), categoryType};
}

TranslationChip::TranslationChip(const QString& translation, const QStringList& backTranslations,
                                 const QString& categoryType, QWidget* parent)
    : QWidget(parent)
    , m_translation(translation)
    , m_backTranslations(backTranslations)
    , m_categoryType(categoryType)
    , m_label(partOfSpeechLabel(categoryType))
    , m_hoverDelay(this)
    , m_popover(new AttachedPopover(this)) {
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Theme::followAppearance(this, [this] { update(); });
}

bool TranslationChip::isPopoverShown() const {
    return m_popover->isShown();
}

QSize TranslationChip::sizeHint() const {
    const QFontMetrics text(translationFont());
    int width = text.horizontalAdvance(m_translation);
    int height = text.height();
    if (!m_label.abbreviation.isEmpty()) {
        const QFontMetrics abbreviation(abbreviationFont());
        width += abbreviation.horizontalAdvance(m_label.abbreviation) + labelSpacing;
        height = std::max(height, abbreviation.height());
    }
    return {width + 2 * horizontalPadding, height + 2 * verticalPadding};
}

void TranslationChip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor blue = Color::accentColor();
    paintRoundedBox(painter, QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), cornerRadius,
                    m_isHovered ? Color::withOpacity(blue, 0.2)
                                : Color::withOpacity(Color::controlBackgroundColor(), 0.7),
                    QPen(m_isHovered ? blue : Theme::border(), Theme::borderWidth));

    QRect content = rect().adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    if (!m_label.abbreviation.isEmpty()) {
        painter.setFont(abbreviationFont());
        painter.setPen(Color::withOpacity(Color::secondaryLabelColor(), 0.7));
        const int width = QFontMetrics(abbreviationFont()).horizontalAdvance(m_label.abbreviation);
        painter.drawText(QRect(content.topLeft(), QSize(width, content.height())), Qt::AlignVCenter,
                         m_label.abbreviation);
        content.setLeft(content.left() + width + labelSpacing);
    }
    painter.setFont(translationFont());
    painter.setPen(m_isHovered ? blue : Color::labelColor());
    painter.drawText(content, Qt::AlignLeft | Qt::AlignVCenter, m_translation);
}

void TranslationChip::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    handleHover(true);
}

void TranslationChip::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    handleHover(false);
}

void TranslationChip::handleHover(bool hovering) {
    m_isHovered = hovering;
    update();
    m_hoverDelay.cancel();
    if (hovering && !m_backTranslations.isEmpty()) {
        m_hoverDelay.schedule(hoverDelayMs, [this] { showPopover(); });
        return;
    }
    closePopover();
}

void TranslationChip::showPopover() {
    m_popover->show([this] { return buildPopoverContent(); }, PopoverWindow::Edge::Bottom);
}

void TranslationChip::closePopover() {
    m_popover->close();
}

QWidget* TranslationChip::buildPopoverContent() const {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    QLabel* title = label(m_translation, systemFont(13, QFont::Medium), Color::accentColor());
    title->setContentsMargins(0, 0, 0, 2);
    column->addWidget(title);
    if (!m_label.title.isEmpty()) {
        QLabel* partOfSpeech =
            label(m_label.title, systemFont(12, QFont::Normal, true), Color::secondaryLabelColor());
        partOfSpeech->setContentsMargins(0, 0, 0, 4);
        column->addWidget(partOfSpeech);
    }
    for (const QString& meaning : m_backTranslations) {
        auto* row = new QHBoxLayout;
        row->setSpacing(4);
        row->addWidget(label(QStringLiteral("•"), systemFont(12), Color::secondaryLabelColor()), 0,
                       Qt::AlignTop);
        QLabel* text = label(meaning, systemFont(12), Theme::primaryText());
        text->setWordWrap(true);
        row->addWidget(text, 1, Qt::AlignTop);
        column->addLayout(row);
    }
    const int width = std::clamp(content->sizeHint().width(), popoverMinimumWidth, popoverMaximumWidth);
    content->setFixedSize(width, column->totalHeightForWidth(width));
    return content;
}
