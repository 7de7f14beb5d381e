#include "windows/main/ListViewSort.h"

#include "core/platform/MessageBoxes.h"
#include "core/vault/VaultSession.h"
#include "windows/main/EntryListView.h"

#include <QString>

namespace {

// An error that stops the sort: its number and description, as the message box shows them.
struct SortResult : Result {
    int number = 0;
};

constexpr int kIndexOutOfBounds = 35600;

SortResult sortColumns(EntryListView& list, int columnIndex)
{
    const EntryListModel& model = list.entries();
    VaultSession& vault = list.vault();
    if (model.count() == 0)
        return {};
    if (columnIndex < 1 || columnIndex > model.columnCount()) {
        // Sorting is switched on before the column is looked up, and stays on.
        if (!model.sorted())
            vault.sort(true, model.sortKey(), model.sortOrder());
        return {Result::failure(QStringLiteral("Index out of bounds")), kIndexOutOfBounds};
    }
    const Qt::SortOrder flipped = model.sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    vault.sort(true, columnIndex - 1, flipped);
    return {};
}

} // namespace

bool EnhListView_SortColumns(EntryListView& list, int columnIndex, bool showErrors, MessageBoxes& messages)
{
    const SortResult sorted = sortColumns(list, columnIndex);
    if (!sorted.ok && showErrors)
        messages.show(list.window(),
                      QStringLiteral("Error") + QString::number(sorted.number) + QLatin1Char('\t') + sorted.reason,
                      MessageBoxes::Buttons::Ok, QStringLiteral("Error in Function : EnhListView_SortColumns"),
                      MessageBoxes::Icon::Information);
    return sorted.ok;
}
