#include "core/vault/CopyMerge.h"

#include <QHash>
#include <QSet>
#include <QtEndian>
#include <algorithm>

namespace copymerge {

Digest Digest::of(QByteArrayView sixteenBytes)
{
    Digest d;
    if (sixteenBytes.size() >= 16) {
        d.high = qFromLittleEndian<quint64>(sixteenBytes.data());
        d.low = qFromLittleEndian<quint64>(sixteenBytes.data() + 8);
    }
    return d;
}

QByteArray Digest::bytes() const
{
    QByteArray out(16, Qt::Uninitialized);
    qToLittleEndian(high, out.data());
    qToLittleEndian(low, out.data() + 8);
    return out;
}

namespace {

using Counts = QHash<Digest, int>;

Counts countsOf(const std::vector<Digest>& digests)
{
    Counts counts;
    for (const Digest& d : digests)
        ++counts[d];
    return counts;
}

// How many of an entry the merge keeps, from how many the base, the file and the copy hold.
int kept(std::optional<int> base, int file, int copy)
{
    if (!base)
        return std::max(file, copy);
    const int b = *base;
    if (file == b)
        return copy;
    if (copy == b)
        return file;
    if (file > b && copy > b)
        return std::max(file, copy); // both added it: one is enough
    if (file < b && copy < b)
        return std::min(file, copy); // both removed it
    return std::max(0, file + copy - b);
}

} // namespace

Version versionOf(const std::vector<Entry>& entries, const Digests& digests)
{
    Version v;
    v.entries.reserve(entries.size());
    v.credentials.reserve(entries.size());
    for (const Entry& e : entries) {
        v.entries.push_back(digests.entry(e));
        v.credentials.push_back(digests.credential(e));
    }
    return v;
}

Merged merge(const std::optional<Version>& base, const std::vector<Entry>& file, const std::vector<Entry>& copy,
             const Digests& digests, const SortedPlace& sortedPlace)
{
    const Version fileVersion = versionOf(file, digests);
    const Version copyVersion = versionOf(copy, digests);
    const Counts fileCounts = countsOf(fileVersion.entries);
    const Counts copyCounts = countsOf(copyVersion.entries);
    const Counts baseCounts = base ? countsOf(base->entries) : Counts();
    const auto keep = [&](const Digest& d) {
        const std::optional<int> b = base ? std::optional<int>(baseCounts.value(d)) : std::nullopt;
        return kept(b, fileCounts.value(d), copyCounts.value(d));
    };

    Merged out;
    Counts placed;
    for (size_t i = 0; i < file.size(); ++i) {
        const Digest& d = fileVersion.entries[i];
        if (placed.value(d) < keep(d)) {
            out.entries.push_back(file[i]);
            ++placed[d];
        }
    }
    const bool inOrder = sortedPlace && !out.entries.empty() && sortedPlace(out.entries, out.entries.front()) >= 0;
    for (size_t i = 0; i < copy.size(); ++i) {
        const Digest& d = copyVersion.entries[i];
        if (placed.value(d) >= keep(d))
            continue;
        ++placed[d];
        const int at = inOrder ? sortedPlace(out.entries, copy[i]) : -1;
        if (at >= 0)
            out.entries.insert(out.entries.begin() + at, copy[i]);
        else
            out.entries.push_back(copy[i]);
    }
    out.changed = out.entries != file;

    // Versions that need a look: a credential of the base that both sides took away, where one
    // side or both put a version of their own.
    if (base) {
        QSet<Digest> goneOnBoth;
        for (size_t i = 0; i < base->entries.size(); ++i) {
            const Digest& d = base->entries[i];
            if (fileCounts.value(d) < baseCounts.value(d) && copyCounts.value(d) < baseCounts.value(d))
                goneOnBoth.insert(base->credentials[i]);
        }
        const auto newOn = [&](const Version& side, const Counts& counts) {
            QHash<Digest, QSet<Digest>> byCredential;
            for (size_t i = 0; i < side.entries.size(); ++i)
                if (counts.value(side.entries[i]) > baseCounts.value(side.entries[i]))
                    byCredential[side.credentials[i]].insert(side.entries[i]);
            return byCredential;
        };
        const auto fileNew = newOn(fileVersion, fileCounts);
        const auto copyNew = newOn(copyVersion, copyCounts);
        for (const Digest& credential : goneOnBoth) {
            QSet<Digest> versions = fileNew.value(credential);
            versions.unite(copyNew.value(credential));
            const bool oneSideOnly = fileNew.value(credential).isEmpty() || copyNew.value(credential).isEmpty();
            // The same change on both sides is no conflict.
            if (!versions.isEmpty() && (oneSideOnly || versions.size() > 1))
                out.needLook += int(versions.size());
        }
    }
    return out;
}

bool holdsChange(const Version& list, const Version& before, const Version& after)
{
    const Counts has = countsOf(list.entries);
    const Counts was = countsOf(before.entries);
    const Counts is = countsOf(after.entries);
    for (auto it = is.begin(); it != is.end(); ++it)
        if (it.value() > was.value(it.key()) && has.value(it.key()) < it.value())
            return false; // added, and not there
    for (auto it = was.begin(); it != was.end(); ++it)
        if (is.value(it.key()) < it.value() && has.value(it.key()) > is.value(it.key()))
            return false; // removed, and still there
    return true;
}

} // namespace copymerge
