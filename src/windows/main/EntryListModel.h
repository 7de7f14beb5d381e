#pragma once
#include "core/vault/EntryStore.h"

#include <QAbstractTableModel>

// The entry list as the list view sees it: a thin model over the entry store, which holds the
// rows. Every change goes through here, so that the view hears of it.
class EntryListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit EntryListModel(QObject* parent = nullptr);

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
    bool sorted() const { return m_store.sorted(); }
    int sortKey() const { return m_store.sortKey(); }
    Qt::SortOrder sortOrder() const { return m_store.sortOrder(); }

    // Appends a row; with sorting on it goes to its sorted place. Returns its 0-based row.
    int append(const Entry& entry);
    void replaceAll(const std::vector<Entry>& entries);
    void replaceAll(vaultformat::FileLines file);
    void setEntry(int row, const Entry& entry);
    void remove(int row);
    void setSortSettings(bool sorted, int key, Qt::SortOrder order);

private:
    void sortRows();

    EntryStore m_store;
    QStringList m_titles;
};
