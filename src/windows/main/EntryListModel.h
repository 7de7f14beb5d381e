#pragma once
#include "core/vault/VaultSession.h"

#include <QAbstractTableModel>

// The entry list as the list view sees it: a view of the open vault's rows, following what the
// vault reports as it changes them.
class EntryListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit EntryListModel(const VaultSession& vault, QObject* parent = nullptr);

    // The view asks for every row's index and flags on each layout: these answer directly.
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Titles of the columns added so far (the main window adds them at load).
    void addColumn(const QString& title);

    const EntryStore& store() const { return m_store; }
    int count() const { return m_store.count(); }
    Entry at(int row) const { return m_store.at(row); }
    quint64 idAt(int row) const { return m_store.idAt(row); }
    int rowOfId(quint64 id) const { return m_store.rowOfId(id); }
    std::vector<Entry> entries() const { return m_store.entries(); }
    const SortSettings& sortSettings() const { return m_vault.sortSettings(); }

private:
    void reordered(const std::vector<int>& order);

    const VaultSession& m_vault;
    const EntryStore& m_store;
    QStringList m_titles;
};
