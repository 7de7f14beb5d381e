#pragma once
#include "core/vault/Entry.h"

#include <QCollator>
#include <vector>

class EntryStore;

// How the list is ordered: sorting switched on or off, by which column (0 username, 1 password,
// 2 location), which way.
struct SortSettings {
    bool sorted = false;
    int column = 0;
    Qt::SortOrder order = Qt::AscendingOrder;
    friend bool operator==(const SortSettings&, const SortSettings&) = default;
};

// The list's order: rows compare as text, case ignored, in the user's locale, digits never read as
// numbers; equal texts keep their order. Long lists sort by collation keys made once per row
// (CollationSort), short ones by comparing; the order is the same.
class EntrySort {
public:
    EntrySort();

    const SortSettings& settings() const { return m_settings; }
    // Takes new settings; whether a list of this many rows is now out of order.
    bool change(const SortSettings& settings, int rowCount);

    // Element i is the row of the store that goes to place i.
    std::vector<int> sortedOrder(const EntryStore& store) const;
    // Where a new entry goes: its sorted place while sorting is on, else the end.
    int insertPosition(const EntryStore& store, const Entry& entry) const;

    // How two entries compare by a column, as the list compares them: below, equal or above 0.
    int compare(const Entry& a, const Entry& b, int column) const;

private:
    void sortByKeys(const EntryStore& store, std::vector<int>& order) const;
    void sortByText(const EntryStore& store, std::vector<int>& order) const;

    SortSettings m_settings;
    QCollator m_collator;
};
