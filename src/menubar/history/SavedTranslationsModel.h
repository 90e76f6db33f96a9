#pragma once

#include "menubar/history/TranslationHistoryItem.h"

#include <QAbstractListModel>
#include <functional>

// The list a store keeps, as a model: the store changes it, the windows' list views show it and follow
// each insertion and removal without rebuilding their rows. A view sees the first rows only and fetches
// more as it scrolls to its end, so that a list of any length opens as fast as a short one.
class SavedTranslationsModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { SourceTextRole = Qt::UserRole + 1, TranslatedTextRole, IdRole };
    // Rows a view gets at first and at each fetch: more than a sheet shows at once, but after the first
    // row no more text than a sheet lays out in a moment, each text counted up to that length.
    static constexpr int fetchSize = 50;
    static constexpr qsizetype fetchLength = 50000;

    using QAbstractListModel::QAbstractListModel;

    const QList<TranslationHistoryItem>& items() const { return m_items; }
    const TranslationHistoryItem& item(int row) const { return m_items.at(row); }

    // The rows fetched so far, not the whole list.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    // Back to the first rows only, for a view that opens afresh.
    void restartFetching();

    // While true the list is still being read: empty, but not known to be.
    bool isLoading() const { return m_loading; }
    void setLoading(bool loading) { m_loading = loading; }

    void setItems(QList<TranslationHistoryItem> items);
    void insertFront(const TranslationHistoryItem& item);
    void removeAt(int index);
    void removeLast();
    // Removes every record `matches` holds for, in runs of adjacent rows; returns how many went.
    int removeIf(const std::function<bool(const TranslationHistoryItem&)>& matches);

private:
    // The end of the rows fetched at once from `from`.
    int fetchEnd(int from) const;

    QList<TranslationHistoryItem> m_items;
    int m_fetched = 0;
    bool m_loading = false;
};
