#pragma once
#include "core/platform/Result.h"
#include "core/vault/Entry.h"
#include "core/vault/EntrySort.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Merging with a data.enc that was changed elsewhere (a sync tool, another session, the command
// line). Every change here is saved at once, so what is new here is a short list of commands,
// and merging is replaying them on the file as it is now.
namespace vaultmerge {

struct Change {
    enum class Kind { Add, Edit, Remove, Sort };
    Kind kind = Kind::Add;
    Entry entry;  // Add: the new entry; Edit: the entry as it was; Remove: the removed entry
    Entry edited; // Edit: the entry as it is now
    SortSettings sort;

    static Change add(Entry e) { return {Kind::Add, std::move(e), {}, {}}; }
    static Change edit(Entry before, Entry after) { return {Kind::Edit, std::move(before), std::move(after), {}}; }
    static Change remove(Entry e) { return {Kind::Remove, std::move(e), {}, {}}; }
    static Change sortBy(SortSettings settings) { return {Kind::Sort, {}, {}, settings}; }
};

struct Replayed {
    std::vector<Entry> entries;
    int row = -1; // where the last change's entry is now; -1 for a removal or a sort
};

// Replays the changes, in order, on the entries of the file as it is now. Add appends the entry;
// Edit replaces the first entry equal to the one edited, or adds the edited entry when that one
// is gone (changed or deleted elsewhere), so that nothing typed is lost; Remove removes the first
// equal entry, if one is left; Sort sorts by that column as the list does.
Replayed replay(std::vector<Entry> entries, const std::vector<Change>& changes);

// Whether a file changed elsewhere can take the changes: it must be readable and a vault under
// this master password. The reason when not.
Result mergeable(const Result& read, const QByteArray& bytes, const QString& master);

} // namespace vaultmerge
