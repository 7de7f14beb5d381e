#pragma once
#include "core/vault/CopyMerge.h"
#include "core/vault/KeyCache.h"
#include "core/vault/VersionRecord.h"

#include <QString>

// The version record of one vault on this machine, kept outside the synced folder (the user's
// state folder): its digests are keyed with a random key of the record's own, which is kept
// wrapped under the master password (a classic vault, readable anyway) or under the sealed
// vault's own key, so that the record tells nothing to anyone without the master password. The
// record is its start version (written when it starts again) and a log of the versions written
// since (appended at each save); anything damaged reads as no record. Only the small head of the
// start version is read when the vault is unlocked; its digests when a merge or a new start needs
// them.
class RecordStore {
public:
    // The folder where records are kept: $XDG_STATE_HOME/keyhaven/versions, ~/.local/state/...
    static QString defaultFolder();

    RecordStore(const QString& folder, const QString& vaultPath);

    // Reads the record's head and log with the vault's master password and, when the vault is
    // sealed, its key (the key of an earlier seal comes from the cache, once). A missing or
    // unreadable record, or one under another password, is no record: a new one starts.
    void load(const QString& master, const sealedformat::KeyPtr& key, KeyCache& keys, const BusyReport& busy);
    // The vault was sealed or unsealed: the record's key is wrapped anew under what it is now.
    void rewrap(const QString& master, const sealedformat::KeyPtr& key);

    const copymerge::Digests& digests() const { return m_digests; }
    // The record itself; its digests are read now if they were not yet.
    const VersionRecord& record();
    bool hadRecord() const { return m_hadRecord; }
    // Which data file this machine last read or wrote (DiskState's identity).
    const QByteArray& fileIdentity() const { return m_fileIdentity; }

    void startFrom(copymerge::Version read, const QByteArray& fileIdentity);
    void wrote(VersionRecord::Change change, const QByteArray& fileIdentity);
    // The data file was put in place anew with the newest version's entries (a sync engine).
    void sameEntriesIn(const QByteArray& fileIdentity) { wrote({}, fileIdentity); }

private:
    QByteArray wrappingKey(const sealedformat::KeyPtr& sealKey) const;
    void readStart();
    void writeStart();
    void append(const VersionRecord::Change& change, const QByteArray& fileIdentity);

    QString m_start; // the record's files
    QString m_log;
    QByteArray m_key; // the digests' key, 32 random bytes
    QString m_master;
    sealedformat::KeyPtr m_sealKey;
    copymerge::Digests m_digests;
    VersionRecord m_record;
    std::vector<VersionRecord::Change> m_logged; // read from the log, for when the start is read
    QByteArray m_fileIdentity;
    bool m_hadRecord = false;
    bool m_startRead = true; // the start version's digests are in m_record
};
