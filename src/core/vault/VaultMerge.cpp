#include "core/vault/VaultMerge.h"

#include "core/vault/EntryStore.h"
#include "core/vault/VaultFormat.h"

#include <algorithm>

namespace vaultmerge {

namespace {

void sortAsTheListDoes(std::vector<Entry>& entries, const SortSettings& settings)
{
    EntrySort sort;
    if (!sort.change(settings, int(entries.size())))
        return;
    EntryStore store;
    store.replaceAll(entries);
    store.reorder(sort.sortedOrder(store));
    entries = store.entries();
}

} // namespace

Replayed replay(std::vector<Entry> entries, const std::vector<Change>& changes)
{
    Replayed out;
    for (const Change& change : changes) {
        const auto first = std::find(entries.begin(), entries.end(), change.entry);
        switch (change.kind) {
        case Change::Kind::Add:
            entries.push_back(change.entry);
            out.row = int(entries.size()) - 1;
            break;
        case Change::Kind::Edit:
            if (first != entries.end()) {
                *first = change.edited;
                out.row = int(first - entries.begin());
            } else {
                entries.push_back(change.edited);
                out.row = int(entries.size()) - 1;
            }
            break;
        case Change::Kind::Remove:
            if (first != entries.end())
                entries.erase(first);
            out.row = -1;
            break;
        case Change::Kind::Sort:
            sortAsTheListDoes(entries, change.sort);
            out.row = -1;
            break;
        }
    }
    out.entries = std::move(entries);
    return out;
}

Result mergeable(const Result& read, const QByteArray& bytes, const QString& master)
{
    if (!read.ok)
        return Result::failure(QStringLiteral("it cannot be read (%1)").arg(read.reason));
    const QString line1 = vaultformat::firstLine(bytes);
    if (line1.isEmpty())
        return Result::failure(QStringLiteral("it no longer holds a master password"));
    if (line1 != master)
        return Result::failure(QStringLiteral("it is under another master password"));
    return {};
}

} // namespace vaultmerge
