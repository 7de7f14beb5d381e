#include "windows/main/EntryListView.h"

#include "core/vault/VaultSession.h"

#include <QHeaderView>
#include <QItemSelectionModel>

EntryListView::EntryListView(VaultSession& vault, QWidget* parent) : QTreeView(parent), m_vault(vault), m_model(vault)
{
    setProperty("controlTypeName", QStringLiteral("ListView"));
    // Before the first header click the list reads as descending, so that click sorts ascending.
    vault.sort({false, 0, Qt::DescendingOrder});
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
    // The rows read anew (changes made elsewhere): the selected entry stays selected where it is
    // still there.
    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const int row = firstSelectedRow();
        m_selectedBeforeReset = row > 0 ? std::optional<Entry>(m_model.at(row - 1)) : std::nullopt;
    });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_selectedBeforeReset)
            return;
        for (int row = 0; row < m_model.count(); ++row) {
            if (m_model.at(row) == *m_selectedBeforeReset) {
                selectRow(row);
                break;
            }
        }
        m_selectedBeforeReset.reset();
    });
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
    const SortSettings& sort = m_model.sortSettings();
    if (!sort.sorted)
        return;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(sort.column, sort.order);
}
