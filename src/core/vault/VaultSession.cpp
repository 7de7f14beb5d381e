#include "core/vault/VaultSession.h"

#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"

#include <QScopedValueRollback>
#include <algorithm>

namespace {

constexpr int kWriteTries = 5; // a file that keeps changing under each try is left alone

} // namespace

VaultSession::VaultSession(QString path, QObject* parent)
    : QObject(parent), m_disk(std::move(path)), m_recordFolder(RecordStore::defaultFolder())
{
    connect(&m_disk, &VaultDisk::changed, this, &VaultSession::reloadIfChanged);
    connect(&m_disk, &VaultDisk::working, this, &VaultSession::working);
    connect(&m_disk, &VaultDisk::replaced, this, &VaultSession::fileReplaced);
}

VaultSession::~VaultSession() = default;

VaultSession::Opened VaultSession::open()
{
    vaultfile::Read read = m_disk.open();
    Opened opened;
    opened.ok = read.ok;
    opened.reason = read.reason;
    opened.creating = read.creating;
    if (!read.ok)
        return opened;
    m_fileBytes = std::move(read.value);
    m_openedSealed = sealedformat::isSealed(m_fileBytes);
    if (m_openedSealed) {
        // Its header says whether it can be opened at all, before any password is asked.
        const ResultWith<sealedformat::Header> header = sealedformat::readHeader(m_fileBytes);
        if (!header.ok) {
            opened.ok = false;
            opened.reason = header.reason;
        }
    } else {
        m_storedPassword = vaultformat::firstLine(m_fileBytes);
    }
    return opened;
}

VaultSession::Loaded VaultSession::load(QByteArray bytes)
{
    vaultformat::FileLines lines = vaultformat::readLines(std::move(bytes));
    const Loaded loaded{static_cast<int>(lines.spans.size()), lines.damagedLines};
    emit rowsAboutToBeReset();
    m_store.replaceAll(std::move(lines));
    emit rowsReset();
    return loaded;
}

void VaultSession::resetRows(const std::vector<Entry>& entries)
{
    emit rowsAboutToBeReset();
    m_store.replaceAll(entries);
    emit rowsReset();
}

VaultSession::Unlock VaultSession::unlock(const QString& typed, Loaded* loaded)
{
    QByteArray classic;
    if (m_openedSealed) {
        // Right when the key it makes passes the file's key check; then the file must open and
        // its first line be the password. The file's buffer becomes the classic bytes.
        const ResultWith<sealedformat::Header> header = sealedformat::readHeader(m_fileBytes);
        const ResultWith<sealedformat::KeyPtr> key =
            header.ok ? deriveAway(typed, header.value, [this](bool busy) { emit working(busy); })
                      : ResultWith<sealedformat::KeyPtr>{header};
        if (!key.ok) {
            m_damage = key.reason;
            return Unlock::Damaged;
        }
        if (typed.isEmpty() || !sealedformat::keyMatches(*key.value, header.value))
            return Unlock::WrongPassword;
        sealedformat::Opened opened = sealedformat::openWithKey(std::move(m_fileBytes), key.value);
        m_fileBytes.clear();
        if (opened.status != sealedformat::Status::Opened || vaultformat::firstLine(opened.classic) != typed) {
            m_damage = opened.status == sealedformat::Status::Opened
                           ? QStringLiteral("the sealed file's first line is not its master password")
                           : opened.reason;
            return Unlock::Damaged;
        }
        m_key = opened.key;
        m_disk.keys().add(m_key);
        m_storedPassword = typed;
        classic = std::move(opened.classic);
    } else {
        if (m_storedPassword.isEmpty() || typed != m_storedPassword)
            return Unlock::WrongPassword;
        classic = std::move(m_fileBytes);
    }
    m_master = m_storedPassword;
    const Loaded found = load(std::move(classic));
    m_fileBytes.clear();
    loadRecord();
    if (loaded)
        *loaded = found;
    return Unlock::Unlocked;
}

VaultSession::Created VaultSession::createPassword(const QString& password)
{
    m_master = password;
    m_storedPassword = password;
    Created created;
    created.loaded = load(std::move(m_fileBytes));
    m_fileBytes.clear();
    const QByteArray file =
        created.loaded.entries > 0 ? vaultfile::fileFor(m_master, m_store) : vaultformat::passwordOnly(m_master);
    static_cast<Result&>(created) =
        m_readOnly.isEmpty() ? vaultstorage::saveAtomically(path(), file) : Result::failure(m_readOnly);
    loadRecord();
    if (created.ok) {
        m_disk.wrote(file);
        noteRead(versionOfRows()); // the first version this machine knows
    }
    return created;
}

VaultSession::Saved VaultSession::addAll(const std::vector<Entry>& entries)
{
    int row = -1;
    for (const Entry& entry : entries) {
        row = m_sort.insertPosition(m_store, entry);
        emit rowsAboutToBeInserted(row, row);
        m_store.insert(row, entry);
        emit rowsInserted();
        m_pending.push_back(vaultmerge::Change::add(entry));
    }
    return commit(row);
}

VaultSession::Saved VaultSession::replace(quint64 id, const Entry& before, const Entry& entry)
{
    int row = m_store.rowOfId(id);
    for (int r = 0; row < 0 && r < m_store.count(); ++r) {
        if (m_store.at(r) == before)
            row = r;
    }
    if (row < 0)
        return add(entry);
    m_pending.push_back(vaultmerge::Change::edit(m_store.at(row), entry));
    m_store.setEntry(row, entry);
    emit rowChanged(row);
    return commit(row);
}

VaultSession::Saved VaultSession::remove(int row)
{
    m_pending.push_back(vaultmerge::Change::remove(m_store.at(row)));
    emit rowsAboutToBeRemoved(row, row);
    m_store.remove(row);
    emit rowsRemoved();
    return commit(-1);
}

void VaultSession::sort(const SortSettings& settings)
{
    m_pending.push_back(vaultmerge::Change::sortBy(settings));
    if (!m_sort.change(settings, m_store.count()))
        return;
    const std::vector<int> rows = m_sort.sortedOrder(m_store);
    emit rowsAboutToBeReordered();
    m_store.reorder(rows);
    emit rowsReordered(rows);
}

VaultSession::Saved VaultSession::setSealed(bool on, sealedformat::Params params)
{
    if (on) {
        const ResultWith<sealedformat::KeyPtr> key = sealedformat::newKey(m_master, params);
        if (!key.ok) {
            Saved failed;
            failed.ok = false;
            failed.reason = key.reason;
            return failed;
        }
        m_key = key.value;
        m_disk.keys().add(m_key);
    } else {
        m_key.reset();
    }
    Saved saved = commit(-1);
    if (saved.ok && m_record)
        m_record->rewrap(m_master, m_key);
    if (saved.ok && m_key) {
        const VaultDisk::SealedConflicts conflicts = m_disk.sealConflictFiles(m_master, *m_key);
        saved.sealedConflictFiles = conflicts.sealed;
        saved.unsealedConflictFiles = conflicts.left;
    }
    return saved;
}

QByteArray VaultSession::bytesToWrite() const
{
    QByteArray classic = vaultfile::fileFor(m_master, m_store);
    return m_key ? sealedformat::seal(std::move(classic), *m_key) : classic;
}

bool VaultSession::writeFile(const vaultstorage::Sink& sink) const
{
    // A sealed file is sealed whole; a classic one goes in pieces, never held whole a second time.
    if (m_key)
        return sink(bytesToWrite());
    return vaultfile::write(m_master, m_store, sink);
}

bool VaultSession::hasUnsavedChanges() const
{
    return std::any_of(m_pending.begin(), m_pending.end(),
                       [](const vaultmerge::Change& c) { return c.kind != vaultmerge::Change::Kind::Sort; });
}

VaultDisk::Changes VaultSession::takeChangesMadeElsewhere()
{
    VaultDisk::Changes changes = m_disk.mergeChangesMadeElsewhere(m_master, m_key, m_pending);
    if (changes.kind == VaultDisk::Changes::Kind::Merged) {
        resetRows(changes.merged.entries);
        // Never weaker than the file it lands on: a file sealed elsewhere stays sealed, under its
        // own parameters.
        if (changes.key)
            m_key = changes.key;
    }
    return changes;
}

VaultSession::Saved VaultSession::commit(int row, bool onlyIfChanged)
{
    const QScopedValueRollback busy(m_busy, true);
    Saved out;
    out.row = row;
    if (!m_readOnly.isEmpty()) {
        out.ok = false;
        out.reason = m_readOnly;
        return out;
    }
    for (int attempt = 0; attempt < kWriteTries; ++attempt) {
        const SaveTurn turn = m_disk.takeTurn();
        const bool wasSealed = sealed();
        const VaultDisk::Changes changes = takeChangesMadeElsewhere();
        if (changes.kind == VaultDisk::Changes::Kind::Refused) {
            out.ok = false;
            out.reason = changes.reason;
            out.conflictFile = m_disk.writeConflictFile(bytesToWrite());
            if (out.conflictFile.isEmpty())
                out.reason += QStringLiteral(", and no file could be written beside it");
            return out;
        }
        const bool elsewhere = changes.kind == VaultDisk::Changes::Kind::Merged;
        if (elsewhere) {
            out.row = row < 0 ? -1 : changes.merged.row;
            out.merged = true;
            out.sealedElsewhere = out.sealedElsewhere || (changes.key && !wasSealed);
        }
        // The copies first, against the record as it was; a file read from elsewhere is recorded
        // after them (one read earlier, when nothing is on top of it yet, as the rows).
        const bool identified = !m_record || m_record->fileIdentity() == m_disk.knownIdentity();
        std::optional<copymerge::Version> file;
        if (elsewhere)
            file = versionOf(changes.file);
        else if (!identified && !hasUnsavedChanges())
            file = versionOfRows(); // the rows are the file as read
        const bool unrecorded = !elsewhere && !standsOnRecordedFile(file ? &*file : nullptr);
        out.copies = mergeCopiesIntoRows(file ? &*file : nullptr);
        if (file && (elsewhere || unrecorded))
            noteRead(*file);
        if (onlyIfChanged && !elsewhere && !out.copies.changed && !hasUnsavedChanges()) {
            afterWrite(false); // nothing to write: the copies held nothing new
            return out;
        }
        bool changedMeanwhile = false;
        const Result written =
            m_disk.write([this](const vaultstorage::Sink& sink) { return writeFile(sink); }, &changedMeanwhile);
        if (changedMeanwhile)
            continue; // the next try reads it again
        if (!written.ok) {
            out.ok = false;
            out.reason = written.reason;
            return out;
        }
        afterWrite(true, elsewhere || out.copies.copies > 0);
        m_pending.clear();
        return out;
    }
    out.ok = false;
    out.reason = QStringLiteral("the file kept changing while it was being saved");
    return out;
}

void VaultSession::watch()
{
    m_disk.watch();
}

void VaultSession::reloadIfChanged()
{
    if (m_busy || !unlocked() || hasUnsavedChanges())
        return; // the next save merges what changed
    const bool copiesWaiting = copiesToLookAt();
    if (!copiesWaiting && m_disk.unchangedAtAGlance())
        return;
    VaultDisk::Changes changes;
    {
        const QScopedValueRollback busy(m_busy, true);
        changes = takeChangesMadeElsewhere();
    }
    if (changes.kind == VaultDisk::Changes::Kind::Refused) {
        if (m_disk.firstRefusalOfThisFile())
            emit notReloaded(changes.reason);
        return; // copies wait while the file itself cannot be read
    }
    const bool reread = changes.kind == VaultDisk::Changes::Kind::Merged;
    if (!copiesWaiting) {
        if (reread) {
            noteRead(versionOf(changes.file));
            emit reloaded(m_store.count());
        }
        return;
    }
    // Merged with the copies, and written when they changed an entry.
    const CopiesMerged copies = mergeConflictCopies(m_readOnly.isEmpty());
    if (reread || copies.changed)
        emit reloaded(m_store.count());
    if (copies.copies > 0 || !copies.refused.isEmpty())
        emit copiesMerged(copies);
}
