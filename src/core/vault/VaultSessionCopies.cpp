// The open vault's side of keeping in step with other machines: the record of the versions it
// had, and the conflict copies a sync engine leaves beside the file.
#include "core/vault/ConflictCopies.h"
#include "core/vault/VaultSession.h"

#include <QCryptographicHash>
#include <QFile>
#include <algorithm>

void VaultSession::loadRecord()
{
    if (m_recordFolder.isEmpty())
        return;
    m_record = std::make_unique<RecordStore>(m_recordFolder, path());
    m_record->load(m_master, m_key, m_disk.keys(), [this](bool busy) { emit working(busy); });
}

const copymerge::Digests& VaultSession::digests() const
{
    // Without a record (none is kept) the merge still tells entries apart, by their text's hash.
    static const copymerge::Digests byText = [] {
        const auto hash = [](const QStringList& fields) {
            return copymerge::Digest::of(
                QCryptographicHash::hash(fields.join(QChar(0)).toUtf8(), QCryptographicHash::Sha256));
        };
        copymerge::Digests d;
        d.entry = [hash](const Entry& e) { return hash({e.username, e.password, e.location}); };
        d.credential = [hash](const Entry& e) { return hash({e.username, e.location}); };
        return d;
    }();
    return m_record ? m_record->digests() : byText;
}

copymerge::Version VaultSession::versionOf(const std::vector<Entry>& entries) const
{
    return copymerge::versionOf(entries, digests());
}

copymerge::Version VaultSession::versionOfRows() const
{
    // Row by row: the list is never copied whole.
    const copymerge::Digests& d = digests();
    copymerge::Version v;
    v.entries.reserve(size_t(m_store.count()));
    v.credentials.reserve(size_t(m_store.count()));
    for (int row = 0; row < m_store.count(); ++row) {
        const Entry e = m_store.at(row);
        v.entries.push_back(d.entry(e));
        v.credentials.push_back(d.credential(e));
    }
    return v;
}

void VaultSession::noteRead(const copymerge::Version& file)
{
    if (m_record)
        m_record->startFrom(file, m_disk.knownIdentity());
}

bool VaultSession::standsOnRecordedFile(const copymerge::Version* file)
{
    if (!m_record || m_record->fileIdentity() == m_disk.knownIdentity())
        return true;
    // Put in place anew, maybe with the very entries this machine last had (a sync engine).
    if (file && m_record->hadRecord() && VersionRecord::sameEntries(*file, m_record->record().newest())) {
        m_record->sameEntriesIn(m_disk.knownIdentity());
        return true;
    }
    return false;
}

void VaultSession::afterWrite(bool written, bool wholeList)
{
    for (const QString& copy : std::as_const(m_mergedCopies))
        QFile::remove(copy);
    m_mergedCopies.clear();
    if (!written || !m_record)
        return;
    VersionRecord::Change change;
    if (wholeList) {
        change = VersionRecord::difference(m_record->record().newest(), versionOfRows());
    } else {
        // This run's changes, as they were made: cheap however long the list.
        const copymerge::Digests& d = m_record->digests();
        const auto add = [&](const Entry& e) {
            change.added.entries.push_back(d.entry(e));
            change.added.credentials.push_back(d.credential(e));
        };
        for (const vaultmerge::Change& c : m_pending) {
            switch (c.kind) {
            case vaultmerge::Change::Kind::Add: add(c.entry); break;
            case vaultmerge::Change::Kind::Edit:
                change.removed.push_back(d.entry(c.entry));
                add(c.edited);
                break;
            case vaultmerge::Change::Kind::Remove: change.removed.push_back(d.entry(c.entry)); break;
            case vaultmerge::Change::Kind::Sort: break;
            }
        }
    }
    m_record->wrote(std::move(change), m_disk.knownIdentity());
}

QStringList VaultSession::conflictCopies() const
{
    return conflictcopies::besides(path());
}

bool VaultSession::copiesToLookAt() const
{
    const QStringList copies = conflictCopies();
    return std::any_of(copies.begin(), copies.end(), [this](const QString& copy) {
        return !m_refusedCopies.contains(copy) || !m_refusedCopies.value(copy).sameFileAs(DiskState::of(copy));
    });
}

VaultSession::CopiesMerged VaultSession::mergeCopiesIntoRows(const copymerge::Version* file)
{
    CopiesMerged out;
    const QStringList copies = conflictCopies();
    if (copies.isEmpty() || !unlocked())
        return out;
    std::vector<Entry> rows = m_store.entries();
    const copymerge::Version fileVersion = file ? *file : versionOf(rows);
    // A list in order keeps its order: the copy's new entries go to their sorted places.
    std::optional<SortSettings> order;
    const copymerge::SortedPlace sortedPlace = [&](const std::vector<Entry>& entries, const Entry& entry) {
        if (!order) {
            order = SortSettings{};
            for (int column = 0; column < 3 && !order->sorted && entries.size() > 1; ++column) {
                for (const Qt::SortOrder way : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                    const int sign = way == Qt::AscendingOrder ? 1 : -1;
                    bool inOrder = true;
                    for (size_t i = 1; i < entries.size() && inOrder; ++i)
                        inOrder = sign * m_sort.compare(entries[i - 1], entries[i], column) <= 0;
                    if (inOrder) {
                        order = SortSettings{true, column, way};
                        break;
                    }
                }
            }
        }
        if (!order->sorted)
            return -1;
        const int sign = order->order == Qt::AscendingOrder ? 1 : -1;
        const auto after = std::upper_bound(entries.begin(), entries.end(), entry, [&](const Entry& a, const Entry& b) {
            return sign * m_sort.compare(a, b, order->column) < 0;
        });
        return int(after - entries.begin());
    };
    for (const QString& copyPath : copies) {
        if (m_refusedCopies.contains(copyPath) && m_refusedCopies.value(copyPath).sameFileAs(DiskState::of(copyPath)))
            continue; // said before, and as it was
        const VaultDisk::Copy copy = m_disk.readCopy(copyPath, m_master, m_key);
        if (!copy.ok) {
            m_refusedCopies.insert(copyPath, copy.state);
            out.refused.append(copyPath);
            out.reasons.append(copy.reason);
            continue;
        }
        m_refusedCopies.remove(copyPath);
        const std::optional<copymerge::Version> base =
            m_record ? m_record->record().baseFor(fileVersion, versionOf(copy.entries)) : std::nullopt;
        const copymerge::Merged merged = copymerge::merge(base, rows, copy.entries, digests(), sortedPlace);
        rows = merged.entries;
        out.copies += 1;
        out.needLook += merged.needLook;
        out.noRecord = out.noRecord || !base;
        out.changed = out.changed || merged.changed;
        // A copy sealed elsewhere keeps the vault sealed.
        if (copy.key && !m_key)
            m_key = copy.key;
        if (!m_mergedCopies.contains(copyPath))
            m_mergedCopies.append(copyPath);
    }
    if (out.changed)
        resetRows(rows);
    return out;
}

VaultSession::CopiesMerged VaultSession::mergeConflictCopies(bool save)
{
    if (save) {
        const Saved saved = commit(-1, true);
        CopiesMerged merged = saved.copies;
        if (!saved.ok)
            merged.notSaved = saved.reason;
        return merged;
    }
    const bool identified = !m_record || m_record->fileIdentity() == m_disk.knownIdentity();
    const std::optional<copymerge::Version> file =
        identified ? std::nullopt : std::optional<copymerge::Version>(versionOfRows());
    const bool unrecorded = !standsOnRecordedFile(file ? &*file : nullptr);
    CopiesMerged merged = mergeCopiesIntoRows(file ? &*file : nullptr);
    if (unrecorded && merged.copies == 0)
        noteRead(*file); // nothing merged on top of it: it is what this machine read
    return merged;
}
