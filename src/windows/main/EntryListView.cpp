#include "windows/main/EntryListView.h"

#include "core/vault/VaultSession.h"

#include <QHeaderView>
#include <QItemSelectionModel>

EntryListView::EntryListView(VaultSession& vault, QWidget* parent) : QTreeView(parent), m_vault(vault), m_model(vault)
{
    setProperty("controlTypeName", QStringLiteral("ListView"));
    // Before the first header click the list reads as descending, so that click sorts ascending.
    vault.sort(false, 0, Qt::DescendingOrder);
    setModel(&m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) { emit columnClicked(section + 1); });
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, &EntryListView::updateSortIndicator);
}

int EntryListView::firstSelectedRow() const
{
    if (!selectionModel())
        return 0;
    int first = -1;
    for (const QModelIndex& idx : selectionModel()->selectedRows()) {
        if (first < 0 || idx.row() < first)
            first = idx.row();
    }
    return first + 1;
}

void EntryListView::selectRow(int row0)
{
    if (row0 < 0 || row0 >= m_model.count()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex idx = m_model.index(row0, 0);
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(idx);
}

void EntryListView::updateSortIndicator()
{
    if (!m_model.sorted())
        return;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(m_model.sortKey(), m_model.sortOrder());
}
