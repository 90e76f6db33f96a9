#include "menubar/history/SavedTranslationsModel.h"

#include <algorithm>

int SavedTranslationsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_fetched;
}

QVariant SavedTranslationsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_fetched)
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

bool SavedTranslationsModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_fetched < m_items.size();
}

int SavedTranslationsModel::fetchEnd(int from) const {
    const int last = int(std::min<qsizetype>(from + qsizetype(fetchSize), m_items.size()));
    qsizetype length = 0;
    int end = from;
    for (; end < last; ++end) {
        const TranslationHistoryItem& item = m_items.at(end);
        length +=
            std::min(item.sourceText.size(), fetchLength) + std::min(item.translatedText.size(), fetchLength);
        if (length > fetchLength && end > from)
            break;
    }
    return end;
}

void SavedTranslationsModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    const int end = fetchEnd(m_fetched);
    beginInsertRows({}, m_fetched, end - 1);
    m_fetched = end;
    endInsertRows();
}

void SavedTranslationsModel::restartFetching() {
    const int first = fetchEnd(0);
    if (m_fetched == first)
        return;
    beginResetModel();
    m_fetched = first;
    endResetModel();
}

void SavedTranslationsModel::setItems(QList<TranslationHistoryItem> items) {
    beginResetModel();
    m_items = std::move(items);
    m_fetched = fetchEnd(0);
    endResetModel();
}

void SavedTranslationsModel::insertFront(const TranslationHistoryItem& item) {
    beginInsertRows({}, 0, 0);
    m_items.prepend(item);
    ++m_fetched;
    endInsertRows();
}

void SavedTranslationsModel::removeAt(int index) {
    if (index >= m_fetched) {
        m_items.remove(index);
        return;
    }
    beginRemoveRows({}, index, index);
    m_items.remove(index);
    --m_fetched;
    endRemoveRows();
}

void SavedTranslationsModel::removeLast() {
    if (!m_items.isEmpty())
        removeAt(int(m_items.size()) - 1);
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
        // Only the fetched part of a run is a change the views see.
        const int shownLast = std::min(row, m_fetched - 1);
        const bool shown = first <= shownLast;
        if (shown)
            beginRemoveRows({}, first, shownLast);
        m_items.remove(first, row - first + 1);
        if (shown) {
            m_fetched -= shownLast - first + 1;
            endRemoveRows();
        }
        removed += row - first + 1;
        row = first - 1;
    }
    return removed;
}
