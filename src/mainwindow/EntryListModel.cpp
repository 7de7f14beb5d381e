#include "mainwindow/EntryListModel.h"

#include <QCollatorSortKey>
#include <algorithm>
#include <numeric>

EntryListModel::EntryListModel(QObject* parent) : QAbstractTableModel(parent)
{
    // Rows compare as text: case ignored, the user's locale, digits never read as numbers.
    // Case is folded before collating, since not every collation backend can ignore it.
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
}

int EntryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int EntryListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_titles.size());
}

QString EntryListModel::field(const Entry& entry, int column)
{
    switch (column) {
    case 0: return entry.username;
    case 1: return entry.password;
    default: return entry.location;
    }
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return field(m_entries[index.row()], index.column());
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_titles.size())
        return m_titles[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

void EntryListModel::addColumn(const QString& title)
{
    const int at = static_cast<int>(m_titles.size());
    beginInsertColumns({}, at, at);
    m_titles.append(title);
    endInsertColumns();
}

int EntryListModel::rowOfId(quint64 id) const
{
    const auto it = std::find(m_ids.begin(), m_ids.end(), id);
    return it == m_ids.end() ? -1 : static_cast<int>(it - m_ids.begin());
}

int EntryListModel::sortedInsertPosition(const Entry& entry) const
{
    const QString key = field(entry, m_sortKey).toCaseFolded();
    // After all equal rows, so equal rows keep the order in which they came.
    const auto less = [&](int row) {
        const int c = m_collator.compare(key, field(m_entries[row], m_sortKey).toCaseFolded());
        return m_sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
    };
    int lo = 0;
    int hi = count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (less(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int EntryListModel::append(Entry entry)
{
    const int at = m_sorted ? sortedInsertPosition(entry) : count();
    beginInsertRows({}, at, at);
    m_entries.insert(m_entries.begin() + at, std::move(entry));
    m_ids.insert(m_ids.begin() + at, m_nextId++);
    endInsertRows();
    return at;
}

void EntryListModel::replaceAll(std::vector<Entry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    m_ids.resize(m_entries.size());
    std::iota(m_ids.begin(), m_ids.end(), m_nextId);
    m_nextId += m_ids.size();
    endResetModel();
    if (m_sorted)
        sortRows();
}

void EntryListModel::setEntry(int row, Entry entry)
{
    m_entries[row] = std::move(entry);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void EntryListModel::remove(int row)
{
    beginRemoveRows({}, row, row);
    m_entries.erase(m_entries.begin() + row);
    m_ids.erase(m_ids.begin() + row);
    endRemoveRows();
}

void EntryListModel::setSortSettings(bool sorted, int key, Qt::SortOrder order)
{
    const bool changed = sorted != m_sorted || key != m_sortKey || order != m_sortOrder;
    m_sorted = sorted;
    m_sortKey = key;
    m_sortOrder = order;
    if (changed && m_sorted)
        sortRows();
}

void EntryListModel::sortRows()
{
    const int n = count();
    if (n < 2)
        return;
    // One collation key per row, then cheap byte comparisons.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(n);
    for (const Entry& e : m_entries)
        keys.push_back(m_collator.sortKey(field(e, m_sortKey).toCaseFolded()));
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
    else
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a].compare(keys[b]) > 0; });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Entry> entries(n);
    std::vector<quint64> ids(n);
    std::vector<int> newRowOf(n);
    for (int i = 0; i < n; ++i) {
        entries[i] = std::move(m_entries[order[i]]);
        ids[i] = m_ids[order[i]];
        newRowOf[order[i]] = i;
    }
    m_entries = std::move(entries);
    m_ids = std::move(ids);
    // Selection and current row move with their rows.
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& idx : persistent)
        moved.append(index(newRowOf[idx.row()], idx.column()));
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
