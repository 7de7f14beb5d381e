#pragma once
#include "core/vault/Entry.h"

#include <QByteArray>
#include <functional>
#include <optional>
#include <vector>

// Merging the conflict copy a sync engine left beside the data file with the data file itself,
// against the last version both machines had (the base), known only by keyed digests of its
// entries. An edit is the old entry gone and the new one added:
//   added on either side: kept; deleted on one side and unchanged on the other: deleted;
//   changed on one side: the change; changed differently on both sides, or deleted on one and
//   changed on the other: every version kept, and counted as needing a look.
// Nothing that only one side had is dropped unless the other side deleted it. Without a base,
// every entry of both is kept.
namespace copymerge {

// A digest of 16 bytes, held in two numbers: a million of them cost 16 MB.
struct Digest {
    quint64 high = 0;
    quint64 low = 0;
    static Digest of(QByteArrayView sixteenBytes);
    QByteArray bytes() const;
    friend bool operator==(const Digest&, const Digest&) = default;
    friend bool operator<(const Digest& a, const Digest& b)
    {
        return a.high != b.high ? a.high < b.high : a.low < b.low;
    }
};
inline size_t qHash(const Digest& d, size_t seed = 0)
{
    return size_t(d.high ^ (d.low * 0x9E3779B97F4A7C15ull)) ^ seed;
}

// The keyed digest of a whole entry, and of what says which credential it is (username and
// location), so that two versions of one credential are told apart from two credentials.
struct Digests {
    std::function<Digest(const Entry&)> entry;
    std::function<Digest(const Entry&)> credential;
};

struct Version {
    std::vector<Digest> entries;     // the entries' digests, one each, in any order
    std::vector<Digest> credentials; // the credential digest of each, in the same order
};

// The version of a list of entries, as a record keeps it.
Version versionOf(const std::vector<Entry>& entries, const Digests& digests);

struct Merged {
    std::vector<Entry> entries;
    bool changed = false; // differs from the data file's entries
    int needLook = 0;     // entries kept in more than one version, or changed where deleted elsewhere
};

// The data file's entries in their order, then the copy's new entries in theirs; when the data
// file's entries are in order (sortedPlace says where an entry goes then, or -1 when they are not
// in any order), the copy's new entries go to their sorted places instead.
using SortedPlace = std::function<int(const std::vector<Entry>& sortedEntries, const Entry& entry)>;
Merged merge(const std::optional<Version>& base, const std::vector<Entry>& file, const std::vector<Entry>& copy,
             const Digests& digests, const SortedPlace& sortedPlace = {});

// Whether a list holds every change between two versions of a record: what the later one added,
// as often, and not what it removed.
bool holdsChange(const Version& list, const Version& before, const Version& after);

} // namespace copymerge
