#include "core/vault/VersionRecord.h"

#include <QHash>
#include <algorithm>

namespace {

using Version = copymerge::Version;

Version applied(Version v, const VersionRecord::Change& change)
{
    for (const copymerge::Digest& gone : change.removed) {
        const auto at = std::find(v.entries.begin(), v.entries.end(), gone);
        if (at == v.entries.end())
            continue;
        v.credentials.erase(v.credentials.begin() + (at - v.entries.begin()));
        v.entries.erase(at);
    }
    v.entries.insert(v.entries.end(), change.added.entries.begin(), change.added.entries.end());
    v.credentials.insert(v.credentials.end(), change.added.credentials.begin(), change.added.credentials.end());
    return v;
}

} // namespace

void VersionRecord::startFrom(Version read)
{
    m_start = std::move(read);
    m_written.clear();
    m_known = true;
}

void VersionRecord::wrote(Change change)
{
    if (change.added.entries.empty() && change.removed.empty())
        return; // a sort, or a save that changed no entry
    m_written.push_back(std::move(change));
    m_known = true;
    if (m_written.size() > kMostChanges) {
        m_start = applied(std::move(m_start), m_written.front());
        m_written.erase(m_written.begin());
    }
}

Version VersionRecord::newest() const
{
    Version v = m_start;
    for (const Change& c : m_written)
        v = applied(std::move(v), c);
    return v;
}

bool VersionRecord::sameEntries(const Version& a, const Version& b)
{
    if (a.entries.size() != b.entries.size())
        return false;
    std::vector<copymerge::Digest> x = a.entries;
    std::vector<copymerge::Digest> y = b.entries;
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    return x == y;
}

std::optional<Version> VersionRecord::baseFor(const Version& file, const Version& copy) const
{
    if (empty())
        return std::nullopt;
    const Version mine = newest();
    std::vector<const Version*> others;
    if (!sameEntries(file, mine))
        others.push_back(&file);
    if (!sameEntries(copy, mine))
        others.push_back(&copy);
    Version base = m_start;
    for (const Change& change : m_written) {
        Version next = applied(base, change);
        const bool held = std::all_of(others.begin(), others.end(),
                                      [&](const Version* side) { return copymerge::holdsChange(*side, base, next); });
        if (!held)
            break;
        base = std::move(next);
    }
    return base;
}

VersionRecord::Change VersionRecord::difference(const Version& from, const Version& to)
{
    QHash<copymerge::Digest, int> left;
    for (const copymerge::Digest& d : from.entries)
        ++left[d];
    Change change;
    for (size_t i = 0; i < to.entries.size(); ++i) {
        int& n = left[to.entries[i]];
        if (n > 0) {
            --n;
            continue;
        }
        change.added.entries.push_back(to.entries[i]);
        change.added.credentials.push_back(to.credentials[i]);
    }
    for (auto it = left.begin(); it != left.end(); ++it)
        for (int i = 0; i < it.value(); ++i)
            change.removed.push_back(it.key());
    return change;
}
