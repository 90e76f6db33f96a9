#pragma once

#include "menubar/history/TranslationHistoryItem.h"

#include <QCache>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <functional>
#include <optional>

class QListView;

// Paints one saved translation as a card: the language pair, the provider badge and the date, the two
// texts wrapped in full, and one button at the bottom right (the history's bookmark toggle or the
// favorites' "Remove"). A click on the button or elsewhere on the card is reported as a signal. Of a text
// longer than any translation the card shows the beginning, at most shownLength characters and 16,000
// pixels, and an ellipsis.
class SavedTranslationCardDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum class Button { Bookmark, Remove };

    static constexpr int padding = 12;
    static constexpr int lineSpacing = 8;
    static constexpr int cardSpacing = 12;
    // Above the first card and below the last.
    static constexpr int listPadding = 4;
    static constexpr qreal cornerRadius = 12;
    // Ten times the longest text a translation is asked for: well above the longest translation of it.
    static constexpr qsizetype shownLength = 50000;

    // `isFavorite` decides the bookmark's look; only the Bookmark button asks it.
    SavedTranslationCardDelegate(QListView* view, Button button,
                                 std::function<bool(const TranslationHistoryItem&)> isFavorite = {});

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The card and its button inside the rectangle of the row at `index`.
    static QRect cardRect(const QRect& rowRect, const QModelIndex& index);
    QRect buttonRect(const QRect& rowRect, const QModelIndex& index) const;

    // The texts are laid out once per record and width; drop what was laid out when the fonts change.
    void forgetHeights();

Q_SIGNALS:
    void cardClicked(const TranslationHistoryItem& item);
    void buttonClicked(const TranslationHistoryItem& item);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    static int spaceAbove(const QModelIndex& index);
    static int spaceBelow(const QModelIndex& index);
    QSize buttonSize() const;
    int textWidth() const;
    int cardHeight(const TranslationHistoryItem& item, int width) const;

    // One of a record's two texts at one width. The record's id alone is not trusted to tell records
    // apart: another program may have written two with the same one.
    struct TextKey {
        QUuid id;
        qsizetype length;
        int width;
        bool translated;
        friend bool operator==(const TextKey&, const TextKey&) = default;
        friend size_t qHash(const TextKey& key, size_t seed = 0) {
            return qHashMulti(seed, key.id, key.length, key.width, key.translated);
        }
    };
    // A text as its card shows it, at one width.
    struct ShownText {
        QTextLayout layout;
        // Where an ellipsis goes, on a line of its own, when the text goes on beyond the lines laid out.
        std::optional<QPointF> ellipsis;
        bool rightToLeft = false;
        int height = 0;
    };
    const ShownText& shownText(const TranslationHistoryItem& item, bool translated, int width) const;
    int textHeight(const TranslationHistoryItem& item, bool translated, int width) const;
    // Draws the lines of a text within `inSight`; returns its height.
    int drawText(QPainter* painter, const TranslationHistoryItem& item, bool translated, QPoint at, int width,
                 const QRect& inSight) const;

    QListView* m_view;
    Button m_button;
    std::function<bool(const TranslationHistoryItem&)> m_isFavorite;
    QFont m_infoFont;
    QFont m_badgeFont;
    QFont m_sourceFont;
    QFont m_translatedFont;
    QFont m_buttonFont;
    // Heights are small and asked for every row at each layout of the list: enough of them are kept for
    // every row it holds at two widths (with and without its scroll bar). Layouts are large: only those
    // of the cards around the visible ones are kept.
    mutable QCache<TextKey, int> m_heights;
    mutable QCache<TextKey, ShownText> m_texts;
    QPersistentModelIndex m_pressed;
};
