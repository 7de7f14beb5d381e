#include "windows/main/EntryListModel.h"

#include "core/vault/VaultSession.h"

EntryListModel::EntryListModel(const VaultSession& vault, QObject* parent)
    : QAbstractTableModel(parent), m_vault(vault), m_store(vault.entries())
{
    connect(&vault, &VaultSession::rowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(&vault, &VaultSession::rowsInserted, this, [this] { endInsertRows(); });
    connect(&vault, &VaultSession::rowChanged, this,
            [this](int row) { emit dataChanged(index(row, 0), index(row, columnCount() - 1)); });
    connect(&vault, &VaultSession::rowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows({}, first, last); });
    connect(&vault, &VaultSession::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(&vault, &VaultSession::rowsAboutToBeReordered, this,
            [this] { emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint); });
    connect(&vault, &VaultSession::rowsReordered, this, &EntryListModel::reordered);
    connect(&vault, &VaultSession::rowsAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&vault, &VaultSession::rowsReset, this, [this] { endResetModel(); });
}

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

void EntryListModel::reordered(const std::vector<int>& order)
{
    // Selection and current row move with their rows.
    const int n = count();
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
