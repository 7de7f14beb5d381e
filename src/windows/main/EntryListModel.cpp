#include "windows/main/EntryListModel.h"

EntryListModel::EntryListModel(QObject* parent) : QAbstractTableModel(parent) {}

QModelIndex EntryListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= count() || column >= m_titles.size())
        return {};
    return createIndex(row, column);
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

int EntryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int EntryListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_titles.size());
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || role != Qt::DisplayRole)
        return {};
    return m_store.shownField(index.row(), index.column());
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

int EntryListModel::append(const Entry& entry)
{
    const int at = m_store.insertPosition(entry);
    beginInsertRows({}, at, at);
    m_store.insert(at, entry);
    endInsertRows();
    return at;
}

void EntryListModel::replaceAll(const std::vector<Entry>& entries)
{
    beginResetModel();
    m_store.replaceAll(entries);
    endResetModel();
    if (m_store.sorted())
        sortRows();
}

void EntryListModel::replaceAll(vaultformat::FileLines file)
{
    beginResetModel();
    m_store.replaceAll(std::move(file));
    endResetModel();
    if (m_store.sorted())
        sortRows();
}

void EntryListModel::setEntry(int row, const Entry& entry)
{
    m_store.setEntry(row, entry);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void EntryListModel::remove(int row)
{
    beginRemoveRows({}, row, row);
    m_store.remove(row);
    endRemoveRows();
}

void EntryListModel::setSortSettings(bool sorted, int key, Qt::SortOrder order)
{
    if (m_store.setSortSettings(sorted, key, order))
        sortRows();
}

void EntryListModel::sortRows()
{
    const std::vector<int> order = m_store.sortedOrder();
    const int n = count();
    if (n < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_store.reorder(order);
    // Selection and current row move with their rows.
    std::vector<int> newRowOf(n);
    for (int i = 0; i < n; ++i)
        newRowOf[order[i]] = i;
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& idx : persistent)
        moved.append(index(newRowOf[idx.row()], idx.column()));
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
