#include "menubar/translator/ExampleSentences.h"

#include "menubar/translator/AttachedPopover.h"
#include "menubar/translator/ExampleSentencesPopover.h"
#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace {

QFont titleFont() {
    return systemFont(13, QFont::Medium);
}

QFont badgeFont() {
    return systemFont(12);
}

QString titleText() {
    return ExampleSentences::tr("Example Sentences");
}

} // namespace

ExampleSentences::ExampleSentences(QWidget* parent)
    : QAbstractButton(parent)
    , m_popover(new AttachedPopover(this)) {
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, &ExampleSentences::openPopover);
    Theme::followAppearance(this, [this] { update(); });
    setVisible(false);
}

void ExampleSentences::setExampleSentences(const std::optional<QStringList>& exampleSentences,
                                           const QString& sourceWord) {
    m_sentences = exampleSentences;
    m_sourceWord = sourceWord;
    m_popover->close();
    setVisible(m_sentences && !m_sentences->isEmpty());
    updateGeometry();
    update();
}

QSize ExampleSentences::sizeHint() const {
    const QFontMetrics title(titleFont());
    const int height = std::max(title.height(), badgeRect().height()) + 2 * verticalPadding;
    return {title.horizontalAdvance(titleText()) + 12 + badgeRect().width() + 2 * horizontalPadding, height};
}

QSize ExampleSentences::minimumSizeHint() const {
    return sizeHint();
}

QRect ExampleSentences::badgeRect() const {
    const QFontMetrics metrics(badgeFont());
    const QString count = QString::number(m_sentences ? m_sentences->size() : 0);
    const QSize size(metrics.horizontalAdvance(count) + 2 * badgeHorizontalPadding,
                     metrics.height() + 2 * badgeVerticalPadding);
    return QRect(QPoint(width() - horizontalPadding - size.width(), (height() - size.height()) / 2), size);
}

void ExampleSentences::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor fill = Color::withOpacity(Color::controlBackgroundColor(), 0.7);
    paintRoundedBox(painter, QRectF(rect()), Theme::cornerRadius, fill);

    painter.setFont(titleFont());
    painter.setPen(Color::labelColor());
    painter.drawText(rect().adjusted(horizontalPadding, 0, -horizontalPadding, 0),
                     Qt::AlignLeft | Qt::AlignVCenter, titleText());

    const QRect badge = badgeRect();
    paintRoundedBox(painter, QRectF(badge), 10, fill);
    painter.setFont(badgeFont());
    painter.setPen(Color::secondaryLabelColor());
    painter.drawText(badge, Qt::AlignCenter, QString::number(m_sentences ? m_sentences->size() : 0));
}

void ExampleSentences::openPopover() {
    if (!m_sentences || m_sentences->isEmpty())
        return;
    m_popover->show([this] { return new ExampleSentencesPopover(*m_sentences, m_sourceWord); },
                    PopoverWindow::Edge::Bottom);
}

bool ExampleSentences::isPopoverShown() const {
    return m_popover->isShown();
}

ExampleSentencesPopover* ExampleSentences::popoverContent() const {
    return qobject_cast<ExampleSentencesPopover*>(m_popover->content());
}
