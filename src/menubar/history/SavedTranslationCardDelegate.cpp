#include "menubar/history/SavedTranslationCardDelegate.h"

#include "menubar/history/SavedTranslationsModel.h"
#include "ui/Color.h"
#include "ui/ImageAsset.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QListView>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

namespace {

const int kIconSize = 12;
const int kBadgeSpacing = 4;
const int kButtonPaddingX = 8;
const int kButtonPaddingY = 4;
const QString kRemove = QStringLiteral("Remove");

const TranslationHistoryItem* itemAt(const QModelIndex& index) {
    const auto* model = qobject_cast<const SavedTranslationsModel*>(index.model());
    if (!model || index.row() < 0 || index.row() >= model->rowCount())
        return nullptr;
    return &model->item(index.row());
}

QString languagePair(const TranslationHistoryItem& item) {
    return item.sourceLanguage.name + QStringLiteral(" \u2192 ") + item.targetLanguage.name;
}

QString dateText(const TranslationHistoryItem& item) {
    return QLocale().toString(item.dateTime().toLocalTime(), QLocale::ShortFormat);
}

QTextOption wrapping() {
    // Long words and unbroken scripts wrap too; nothing is ever cut.
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// QTextLayout breaks lines only at U+2028; a '\n' would glue the lines of a multi-line text together.
QString withLineSeparators(QString text) {
    text.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return text;
}

} // namespace

SavedTranslationCardDelegate::SavedTranslationCardDelegate(
    QListView* view, Button button, std::function<bool(const TranslationHistoryItem&)> isFavorite)
    : QStyledItemDelegate(view)
    , m_view(view)
    , m_button(button)
    , m_isFavorite(std::move(isFavorite))
    , m_infoFont(systemFont(12))
    , m_badgeFont(systemFont(11))
    , m_sourceFont(systemFont(14, QFont::Medium))
    , m_translatedFont(systemFont(14))
    , m_buttonFont(systemFont(12)) {}

int SavedTranslationCardDelegate::spaceAbove(const QModelIndex& index) {
    return index.row() == 0 ? listPadding : 0;
}

int SavedTranslationCardDelegate::spaceBelow(const QModelIndex& index) {
    // The last card of the list, with no more to fetch, ends it.
    const QAbstractItemModel* model = index.model();
    const bool last = model && index.row() == model->rowCount() - 1 && !model->canFetchMore(QModelIndex());
    return last ? listPadding : cardSpacing;
}

QRect SavedTranslationCardDelegate::cardRect(const QRect& rowRect, const QModelIndex& index) {
    return rowRect.adjusted(0, spaceAbove(index), 0, -spaceBelow(index));
}

int SavedTranslationCardDelegate::textWidth() const {
    return qMax(40, m_view->viewport()->width() - 2 * padding);
}

QSize SavedTranslationCardDelegate::buttonSize() const {
    const int symbol = Symbol::pixelSize(12);
    if (m_button == Button::Bookmark)
        return {symbol + 2 * kButtonPaddingX, symbol + 2 * kButtonPaddingY};
    const QFontMetrics metrics(m_buttonFont);
    return {symbol + kBadgeSpacing + metrics.horizontalAdvance(kRemove) + 2 * kButtonPaddingX,
            qMax(symbol, metrics.height()) + 2 * kButtonPaddingY};
}

QRect SavedTranslationCardDelegate::buttonRect(const QRect& rowRect, const QModelIndex& index) const {
    const QRect card = cardRect(rowRect, index);
    const QSize size = buttonSize();
    return {card.right() + 1 - padding - size.width(), card.bottom() + 1 - padding - size.height(),
            size.width(), size.height()};
}

int SavedTranslationCardDelegate::textHeight(const QString& text, const QFont& font, int width) {
    QTextLayout layout(withLineSeparators(text), font);
    layout.setTextOption(wrapping());
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        height += line.height();
    }
    layout.endLayout();
    return qMax(int(std::ceil(height)), QFontMetrics(font).height());
}

void SavedTranslationCardDelegate::drawText(QPainter* painter, const QString& text, const QFont& font,
                                            const QRect& rect) {
    QTextLayout layout(withLineSeparators(text), font);
    layout.setTextOption(wrapping());
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(rect.width());
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    layout.draw(painter, rect.topLeft());
}

int SavedTranslationCardDelegate::cardHeight(const TranslationHistoryItem& item) const {
    const int width = textWidth();
    if (width != m_heightsWidth) {
        m_heights.clear();
        m_heightsWidth = width;
    }
    if (const auto found = m_heights.constFind(item.id); found != m_heights.constEnd())
        return *found;
    const int info = qMax(QFontMetrics(m_infoFont).height(), kIconSize);
    const int height = padding + info + lineSpacing + textHeight(item.sourceText, m_sourceFont, width) +
                       lineSpacing + textHeight(item.translatedText, m_translatedFont, width) + lineSpacing +
                       buttonSize().height() + padding;
    m_heights.insert(item.id, height);
    return height;
}

QSize SavedTranslationCardDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    const TranslationHistoryItem* item = itemAt(index);
    if (!item)
        return {};
    return {m_view->viewport()->width(), spaceAbove(index) + cardHeight(*item) + spaceBelow(index)};
}

void SavedTranslationCardDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    const TranslationHistoryItem* item = itemAt(index);
    if (!item)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const qreal dpr = painter->device()->devicePixelRatioF();

    const QRect card = cardRect(option.rect, index);
    paintRoundedBox(*painter, QRectF(card).adjusted(0.25, 0.25, -0.25, -0.25), cornerRadius,
                    Theme::fieldFill(), QPen(Theme::border(), Theme::borderWidth));

    const QRect content = card.adjusted(padding, padding, -padding, -padding);
    const QColor secondary = Color::secondaryLabelColor();

    // Info line: pair on the left, provider badge in the middle, date on the right.
    const int infoHeight = qMax(QFontMetrics(m_infoFont).height(), kIconSize);
    const QRect info(content.left(), content.top(), content.width(), infoHeight);
    painter->setFont(m_infoFont);
    painter->setPen(secondary);
    const QString pair = languagePair(*item);
    const QString date = dateText(*item);
    const QFontMetrics infoMetrics(m_infoFont);
    const int dateWidth = infoMetrics.horizontalAdvance(date);
    const int pairWidth = infoMetrics.horizontalAdvance(pair);
    painter->drawText(info, Qt::AlignLeft | Qt::AlignVCenter, pair);
    painter->setPen(Color::withOpacity(secondary, 0.7));
    painter->drawText(info, Qt::AlignRight | Qt::AlignVCenter, date);

    const QString badge = displayName(item->service);
    const QFontMetrics badgeMetrics(m_badgeFont);
    const int badgeWidth = kIconSize + kBadgeSpacing + badgeMetrics.horizontalAdvance(badge);
    // Centred in the room between the pair and the date, as two equal flexible spaces place it.
    const int gapLeft = info.left() + pairWidth;
    const int gapRight = info.right() + 1 - dateWidth;
    const int badgeLeft = gapLeft + qMax(0, (gapRight - gapLeft - badgeWidth) / 2);
    // As on the translator's service button: the dark logos turn white on a dark appearance.
    const QString iconName = QStringLiteral("icon-") + rawValue(item->service);
    const bool whiteIcon = Theme::dark() && (item->service == TranslationService::ChatGPT ||
                                             item->service == TranslationService::DeepL);
    const QPixmap icon =
        whiteIcon ? ImageAsset::templatePixmap(iconName, QSize(kIconSize, kIconSize), Qt::white, dpr)
                  : ImageAsset::pixmap(iconName, QSize(kIconSize, kIconSize), dpr);
    if (!icon.isNull())
        painter->drawPixmap(QPoint(badgeLeft, info.top() + (infoHeight - kIconSize) / 2), icon);
    painter->setFont(m_badgeFont);
    painter->setPen(Color::withOpacity(secondary, 0.8));
    painter->drawText(QRect(badgeLeft + kIconSize + kBadgeSpacing, info.top(), badgeWidth, infoHeight),
                      Qt::AlignLeft | Qt::AlignVCenter, badge);

    // The two texts in full.
    int y = info.bottom() + 1 + lineSpacing;
    const int sourceHeight = textHeight(item->sourceText, m_sourceFont, content.width());
    painter->setPen(Color::labelColor());
    drawText(painter, item->sourceText, m_sourceFont,
             QRect(content.left(), y, content.width(), sourceHeight));
    y += sourceHeight + lineSpacing;
    const int translatedHeight = textHeight(item->translatedText, m_translatedFont, content.width());
    painter->setPen(secondary);
    drawText(painter, item->translatedText, m_translatedFont,
             QRect(content.left(), y, content.width(), translatedHeight));

    // The button, a pill at the bottom right.
    const QRect button = buttonRect(option.rect, index);
    paintRoundedBox(*painter, QRectF(button), cornerRadius,
                    Color::withOpacity(Color::withOpacity(Color::controlBackgroundColor(), 0.7), 0.5));
    const int symbolSize = Symbol::pixelSize(12);
    const QRect inner = button.adjusted(kButtonPaddingX, kButtonPaddingY, -kButtonPaddingX, -kButtonPaddingY);
    const QPoint symbolAt(inner.left(), inner.top() + (inner.height() - symbolSize) / 2);
    if (m_button == Button::Bookmark) {
        const bool favorite = m_isFavorite && m_isFavorite(*item);
        painter->drawPixmap(
            symbolAt, Symbol::pixmap(favorite ? QStringLiteral("bookmark.fill") : QStringLiteral("bookmark"),
                                     QSize(symbolSize, symbolSize),
                                     favorite ? Color::accentColor() : Color::labelColor(), dpr));
    } else {
        painter->drawPixmap(symbolAt,
                            Symbol::pixmap(QStringLiteral("bookmark.fill"), QSize(symbolSize, symbolSize),
                                           Color::accentColor(), dpr));
        painter->setFont(m_buttonFont);
        painter->setPen(Color::accentColor());
        painter->drawText(inner.adjusted(symbolSize + kBadgeSpacing, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter, kRemove);
    }
    painter->restore();
}

bool SavedTranslationCardDelegate::editorEvent(QEvent* event, QAbstractItemModel*,
                                               const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const TranslationHistoryItem* item = itemAt(index);
    if (!item || !cardRect(option.rect, index).contains(mouse->position().toPoint()))
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressed = index;
        return true;
    }
    // A click is a press and a release on the same card.
    const bool sameCard = m_pressed == index;
    m_pressed = QPersistentModelIndex();
    if (!sameCard)
        return true;
    // Copy: the handler may change the model under the item.
    const TranslationHistoryItem clicked = *item;
    if (buttonRect(option.rect, index).contains(mouse->position().toPoint()))
        Q_EMIT buttonClicked(clicked);
    else
        Q_EMIT cardClicked(clicked);
    return true;
}
