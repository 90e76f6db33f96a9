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
#include <QTextBoundaryFinder>

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

const QChar kEllipsis(0x2026);

// Word wrapping looks for the end of a run without a break opportunity anew for each of its lines, which
// costs the square of its length: a text with a run longer than this wraps anywhere.
constexpr qsizetype kLongestWordWrappedRun = 2000;

QTextOption wrapping(const QString& text) {
    // Long words and unbroken scripts wrap too.
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    if (text.size() <= kLongestWordWrappedRun)
        return option;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    qsizetype from = 0;
    for (qsizetype at = breaks.toNextBoundary(); at >= 0; at = breaks.toNextBoundary()) {
        if (at - from > kLongestWordWrappedRun) {
            option.setWrapMode(QTextOption::WrapAnywhere);
            break;
        }
        from = at;
    }
    return option;
}

// The text to lay out, with line separators: QTextLayout breaks lines only at U+2028, and a '\n' would
// glue the lines of a multi-line text together.
QString shownCharacters(const QString& text) {
    constexpr qsizetype limit = SavedTranslationCardDelegate::shownLength;
    QString shown = text;
    if (text.size() > limit) {
        // Cut after the last whole character before the limit, looked for near it: a finder analyses all
        // of the text it is given.
        constexpr qsizetype context = 64;
        const QStringView near = QStringView(text).mid(limit - context, context + 1);
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, near.data(), near.size());
        characters.setPosition(context);
        qsizetype end = limit;
        // A character longer than that (marks stacked without end) is cut where the limit falls.
        if (const qsizetype previous = characters.isAtBoundary() ? -1 : characters.toPreviousBoundary();
            previous > 0)
            end = limit - context + previous;
        shown = text.left(end) + kEllipsis;
    }
    shown.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    shown.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return shown;
}

// A list view lays out no row taller than 32,767 pixels: a card's two texts stay within half of that each,
// far more than any translation needs.
constexpr qreal kTallestText = 16000;

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
    , m_buttonFont(systemFont(12)) {
    m_heights.setMaxCost(1024);
    // The two texts of two cards shown at their longest, and the short ones around them.
    m_texts.setMaxCost(5 * shownLength);
}

void SavedTranslationCardDelegate::forgetHeights() {
    m_heights.clear();
    m_texts.clear();
}

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

const SavedTranslationCardDelegate::ShownText&
SavedTranslationCardDelegate::shownText(const TranslationHistoryItem& item, bool translated,
                                        int width) const {
    const QString& text = translated ? item.translatedText : item.sourceText;
    const TextKey key{item.id, text.size(), width, translated};
    if (const ShownText* shown = m_texts.object(key))
        return *shown;
    auto* shown = new ShownText;
    const QFont& font = translated ? m_translatedFont : m_sourceFont;
    const QString characters = shownCharacters(text);
    QTextLayout& layout = shown->layout;
    layout.setText(characters);
    layout.setFont(font);
    layout.setTextOption(wrapping(characters));
    // Painted again from what is kept rather than shaped anew at each paint.
    layout.setCacheEnabled(true);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        if (y >= kTallestText && line.textStart() + line.textLength() < characters.size()) {
            shown->ellipsis = QPointF(0, y);
            shown->rightToLeft = characters.isRightToLeft();
            y += line.height();
            break;
        }
    }
    layout.endLayout();
    shown->height = qMax(int(std::ceil(y)), QFontMetrics(font).height());
    m_heights.insert(key, new int(shown->height));
    m_texts.insert(key, shown, characters.size() + 1);
    return *shown;
}

int SavedTranslationCardDelegate::textHeight(const TranslationHistoryItem& item, bool translated,
                                             int width) const {
    const TextKey key{item.id, (translated ? item.translatedText : item.sourceText).size(), width,
                      translated};
    if (const int* height = m_heights.object(key))
        return *height;
    return shownText(item, translated, width).height;
}

int SavedTranslationCardDelegate::drawText(QPainter* painter, const TranslationHistoryItem& item,
                                           bool translated, QPoint at, int width,
                                           const QRect& inSight) const {
    const ShownText& shown = shownText(item, translated, width);
    shown.layout.draw(painter, at, {}, inSight);
    if (shown.ellipsis) {
        painter->setFont(shown.layout.font());
        painter->drawText(QRectF(at + *shown.ellipsis, QSizeF(width, shown.height - shown.ellipsis->y())),
                          (shown.rightToLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop, kEllipsis);
    }
    return shown.height;
}

int SavedTranslationCardDelegate::cardHeight(const TranslationHistoryItem& item, int width) const {
    const int info = qMax(QFontMetrics(m_infoFont).height(), kIconSize);
    return padding + info + lineSpacing + textHeight(item, false, width) + lineSpacing +
           textHeight(item, true, width) + lineSpacing + buttonSize().height() + padding;
}

QSize SavedTranslationCardDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    const TranslationHistoryItem* item = itemAt(index);
    if (!item)
        return {};
    // Every row the list holds, at two widths.
    if (const qsizetype rows = 4 * qsizetype(index.model()->rowCount()); m_heights.maxCost() < rows)
        m_heights.setMaxCost(rows);
    return {m_view->viewport()->width(),
            spaceAbove(index) + cardHeight(*item, textWidth()) + spaceBelow(index)};
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

    // The two texts, of which only the lines in sight are drawn: a card may be far taller than the list.
    const QRect inSight = option.rect & m_view->viewport()->rect();
    int y = info.bottom() + 1 + lineSpacing;
    painter->setPen(Color::labelColor());
    y += drawText(painter, *item, false, QPoint(content.left(), y), content.width(), inSight) + lineSpacing;
    painter->setPen(secondary);
    drawText(painter, *item, true, QPoint(content.left(), y), content.width(), inSight);

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
