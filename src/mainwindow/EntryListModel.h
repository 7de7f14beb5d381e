#pragma once
#include "vault/Entry.h"

#include <QAbstractTableModel>
#include <QCollator>
#include <vector>

// The rows of the entry list: the program's only store of entries while it runs.
// Row order is the displayed order; a sort reorders the rows themselves, so a save writes
// them as shown. Each row carries an identity that survives sorting.
class EntryListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit EntryListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Titles of the columns added so far (the main window adds them at load).
    void addColumn(const QString& title);

    int count() const { return static_cast<int>(m_entries.size()); }
    const Entry& at(int row) const { return m_entries[row]; }
    quint64 idAt(int row) const { return m_ids[row]; }
    int rowOfId(quint64 id) const; // -1 when that entry is gone
    const std::vector<Entry>& entries() const { return m_entries; }

    // Appends a row; with sorting on it goes to its sorted place. Returns its 0-based row.
    int append(Entry entry);
    void replaceAll(std::vector<Entry> entries);
    void setEntry(int row, Entry entry);
    void remove(int row);

    // The list's sort settings: switch, 0-based column and direction.
    bool sorted() const { return m_sorted; }
    int sortKey() const { return m_sortKey; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void setSortSettings(bool sorted, int key, Qt::SortOrder order);

    static QString field(const Entry& entry, int column);

private:
    void sortRows();
    int sortedInsertPosition(const Entry& entry) const;

    std::vector<Entry> m_entries;
    std::vector<quint64> m_ids;
    quint64 m_nextId = 1;
    QStringList m_titles;
    bool m_sorted = false;
    int m_sortKey = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QCollator m_collator;
};
