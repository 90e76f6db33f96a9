#pragma once

#include "menubar/history/TranslationHistoryItem.h"

#include <QAbstractListModel>
#include <functional>

// The list a store keeps, as a model: the store changes it, the windows' list views show it and follow
// each insertion and removal without rebuilding their rows.
class SavedTranslationsModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { SourceTextRole = Qt::UserRole + 1, TranslatedTextRole, IdRole };

    using QAbstractListModel::QAbstractListModel;

    const QList<TranslationHistoryItem>& items() const { return m_items; }
    const TranslationHistoryItem& item(int row) const { return m_items.at(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void setItems(QList<TranslationHistoryItem> items);
    void insertFront(const TranslationHistoryItem& item);
    void removeLast();
    // Removes every record `matches` holds for, in runs of adjacent rows; returns how many went.
    int removeIf(const std::function<bool(const TranslationHistoryItem&)>& matches);

private:
    QList<TranslationHistoryItem> m_items;
};
