#pragma once
#include <QCollator>
#include <functional>
#include <vector>

// Sorting rows by text in a collator's order, by collation keys made once per row and kept a
// few bytes at a time: rows whose first bytes tie get the next bytes of theirs, so a million
// rows sort fast without every key held at once. The order is the collator's own: texts it
// finds equal, an empty text among those whose key equals its key, keep their rows' order.
namespace collationsort {

// Writes the row's text into out; called from two threads at once.
using TextOf = std::function<void(int row, QString& out)>;

// Whether sort() can order text for this collator here.
bool canSort(const QCollator& collator);

// Rows 0 to count-1 in the collator's order of their texts, ascending or descending; element i
// is the row that goes to place i. Empty when canSort() is false.
std::vector<int> sort(const QCollator& collator, int count, const TextOf& textOf, Qt::SortOrder direction);

} // namespace collationsort
