#include "windows/main/ListViewSort.h"

#include "core/platform/MessageBoxes.h"
#include "windows/main/EntryListView.h"

#include <QString>
#include <exception>
#include <stdexcept>

namespace {

struct SortError : std::runtime_error {
    SortError(int number, const char* description) : std::runtime_error(description), number(number) {}
    int number;
};

constexpr int kIndexOutOfBounds = 35600;

} // namespace

bool EnhListView_SortColumns(EntryListView& list, int columnIndex, bool showErrors, MessageBoxes& messages)
{
    EntryListModel& model = list.entries();
    try {
        if (model.count() == 0)
            return true;
        if (columnIndex < 1 || columnIndex > model.columnCount()) {
            if (!model.sorted())
                model.setSortSettings(true, model.sortKey(), model.sortOrder());
            throw SortError(kIndexOutOfBounds, "Index out of bounds");
        }
        const Qt::SortOrder flipped =
            model.sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
        model.setSortSettings(true, columnIndex - 1, flipped);
        return true;
    } catch (const SortError& e) {
        if (showErrors)
            messages.show(QStringLiteral("Error") + QString::number(e.number) + QLatin1Char('\t') +
                              QString::fromUtf8(e.what()),
                          MessageBoxes::Buttons::Ok, QStringLiteral("Error in Function : EnhListView_SortColumns"),
                          MessageBoxes::Icon::Information);
    } catch (const std::exception& e) {
        if (showErrors)
            messages.show(QStringLiteral("Error0\t") + QString::fromUtf8(e.what()), MessageBoxes::Buttons::Ok,
                          QStringLiteral("Error in Function : EnhListView_SortColumns"),
                          MessageBoxes::Icon::Information);
    }
    return false;
}
