#pragma once

#include "menubar/history/TranslationHistoryItem.h"

#include <QHash>
#include <QStyledItemDelegate>
#include <functional>

class QListView;
class QTextLayout;

// Paints one saved translation as a card: the language pair, the provider badge and the date, the two
// texts wrapped in full, and one button at the bottom right (the history's bookmark toggle or the
// favorites' "Remove"). A click on the button or elsewhere on the card is reported as a signal.
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

    // `isFavorite` decides the bookmark's look; only the Bookmark button asks it.
    SavedTranslationCardDelegate(QListView* view, Button button,
                                 std::function<bool(const TranslationHistoryItem&)> isFavorite = {});

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The card and its button inside the rectangle of the row at `index`.
    static QRect cardRect(const QRect& rowRect, const QModelIndex& index);
    QRect buttonRect(const QRect& rowRect, const QModelIndex& index) const;

    // Row heights are kept per record and width; drop them when fonts or texts change.
    void forgetHeights() { m_heights.clear(); }

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
    int cardHeight(const TranslationHistoryItem& item) const;
    static int textHeight(const QString& text, const QFont& font, int width);
    static void drawText(QPainter* painter, const QString& text, const QFont& font, const QRect& rect);

    QListView* m_view;
    Button m_button;
    std::function<bool(const TranslationHistoryItem&)> m_isFavorite;
    QFont m_infoFont;
    QFont m_badgeFont;
    QFont m_sourceFont;
    QFont m_translatedFont;
    QFont m_buttonFont;
    mutable QHash<QUuid, int> m_heights;
    mutable int m_heightsWidth = -1;
    QPersistentModelIndex m_pressed;
};
