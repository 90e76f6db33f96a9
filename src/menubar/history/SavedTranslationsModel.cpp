#include "menubar/history/SavedTranslationsModel.h"

int SavedTranslationsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant SavedTranslationsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const TranslationHistoryItem& item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case SourceTextRole:
        return item.sourceText;
    case TranslatedTextRole:
        return item.translatedText;
    case IdRole:
        return item.id;
    default:
        return {};
    }
}

void SavedTranslationsModel::setItems(QList<TranslationHistoryItem> items) {
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

void SavedTranslationsModel::insertFront(const TranslationHistoryItem& item) {
    beginInsertRows({}, 0, 0);
    m_items.prepend(item);
    endInsertRows();
}

void SavedTranslationsModel::removeLast() {
    if (m_items.isEmpty())
        return;
    const int last = int(m_items.size()) - 1;
    beginRemoveRows({}, last, last);
    m_items.removeLast();
    endRemoveRows();
}

int SavedTranslationsModel::removeIf(const std::function<bool(const TranslationHistoryItem&)>& matches) {
    int removed = 0;
    // From the end, so the rows still to visit keep their numbers.
    for (int row = int(m_items.size()) - 1; row >= 0;) {
        if (!matches(m_items.at(row))) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && matches(m_items.at(first - 1)))
            --first;
        beginRemoveRows({}, first, row);
        m_items.remove(first, row - first + 1);
        endRemoveRows();
        removed += row - first + 1;
        row = first - 1;
    }
    return removed;
}
