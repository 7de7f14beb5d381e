#pragma once
#include "core/vault/CopyMerge.h"

#include <optional>
#include <vector>

// What this machine knows of a vault's history, for finding the last version it had in common
// with another machine: the last version it read from elsewhere (or the first it knew), then each
// version it wrote since, as the change from the one before. Keyed digests only, never text.
class VersionRecord {
public:
    using Version = copymerge::Version;
    struct Change {
        Version added;                          // entries the save added, with their credentials
        std::vector<copymerge::Digest> removed; // entries it took away
    };

    bool empty() const { return m_start.entries.empty() && m_written.empty() && !m_known; }
    const Version& start() const { return m_start; }
    const std::vector<Change>& written() const { return m_written; }

    // A version read from elsewhere (or the first one this machine knows): the history starts
    // again from it.
    void startFrom(Version read);
    // This machine wrote a version: the change from the newest one.
    void wrote(Change change);
    // The newest version: the start with every change written since.
    Version newest() const;

    // The last version this machine had in common with the one that made the other of the two:
    // from the start, each version this machine wrote counts as common while the other side holds
    // its change (the side that is not this machine's newest; both, when neither is). Empty when
    // there is no record.
    std::optional<Version> baseFor(const Version& file, const Version& copy) const;

    static bool sameEntries(const Version& a, const Version& b);
    // What was added and taken away from one version to the next.
    static Change difference(const Version& from, const Version& to);

    // Written changes kept; older ones are folded into the start.
    static constexpr size_t kMostChanges = 4096;

private:
    Version m_start;
    std::vector<Change> m_written;
    bool m_known = false;
};
