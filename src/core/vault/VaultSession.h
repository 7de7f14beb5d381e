#pragma once
#include "core/platform/Result.h"
#include "core/vault/Entry.h"
#include "core/vault/EntrySort.h"
#include "core/vault/EntryStore.h"
#include "core/vault/RecordStore.h"
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultDisk.h"
#include "core/vault/VaultMerge.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

// The open vault, from the one reading of data.enc at start-up to every save: its master password,
// its entries and this run's changes to them. The windows and the command line change the vault
// only through here. Each operation returns whether it failed and the system's reason; the session
// reports how its rows change, in the order a list view needs (before and after), so that a list
// can follow them. What to tell the user stays with the caller.
//
// The file may change elsewhere meanwhile (a sync tool, another session): VaultDisk keeps in step
// with it. A save onto a file that changed replays this run's unsaved changes on it instead of
// writing over it, and a file that cannot take them (another master password, not readable, no
// longer a vault) is never written over: the changes go to a file beside it.
class VaultSession : public QObject {
    Q_OBJECT
public:
    explicit VaultSession(QString path, QObject* parent = nullptr);
    ~VaultSession() override;

    const QString& path() const { return m_disk.path(); }

    // Makes sure the file exists and reads it whole, once. creating: the file could not be
    // created, rather than read.
    struct Opened : Result {
        bool creating = false;
    };
    Opened open();
    // Line 1 of the file is empty: the master password is still to be created.
    bool needsNewPassword() const { return !m_openedSealed && m_storedPassword.isEmpty(); }

    // What a reading found.
    struct Loaded {
        int entries = 0;
        int damagedLines = 0;
    };
    // With the master password, the entries of the file read at open() become the rows. A sealed
    // file that opens with no password, because it was changed, is Damaged (damage() says how).
    enum class Unlock { Unlocked, WrongPassword, Damaged };
    Unlock unlock(const QString& typed, Loaded* loaded = nullptr);
    const QString& damage() const { return m_damage; }
    bool unlocked() const { return !m_master.isEmpty(); }

    // The conflict copies a sync engine left beside the file, merged into the list: how many, how
    // many entries need a look (changed on both machines, or changed where the other deleted
    // them), whether there was no record of the last version both machines had (entries deleted on
    // one may have come back), and the copies left where they are, with why.
    struct CopiesMerged {
        int copies = 0;
        int needLook = 0;
        bool noRecord = false;
        bool changed = false; // an entry of the list changed
        QStringList refused;
        QStringList reasons;
        QString notSaved; // the merge is in the list, but could not be saved: why
    };

    // How a save went. merged: the file had changed elsewhere, and the changes were replayed on
    // it. conflictFile: the file could not take them (reason says why); it was left as it was and
    // the rows were written to this file beside it instead.
    struct Saved : Result {
        int row = -1; // where the entry of the command is now
        bool merged = false;
        bool sealedElsewhere = false; // the file it merged with was sealed elsewhere: it was saved sealed
        QString conflictFile;
        CopiesMerged copies;               // conflict copies merged with it
        QStringList sealedConflictFiles;   // sealing: conflict files beside it sealed too
        QStringList unsealedConflictFiles; // and those left as they were (another password, unreadable)
    };
    // Creates the master password and writes the file. Entries that a file without line 1
    // still holds are kept under it (and are the rows even when the write fails).
    struct Created : Result {
        Loaded loaded;
    };
    Created createPassword(const QString& password);

    const EntryStore& entries() const { return m_store; }
    const SortSettings& sortSettings() const { return m_sort.settings(); }

    // Each change is saved at once; when the save fails, the change stays in the rows and goes
    // with the next save.
    Saved add(const Entry& entry) { return addAll({entry}); }
    // Adds the entries, each where add() would put it, and saves once.
    Saved addAll(const std::vector<Entry>& entries);
    // Replaces the entry with this identity, which was `before`. When the identity is gone (a
    // reload), the first entry equal to `before` is replaced; when none is, the entry is added,
    // so that nothing typed is lost.
    Saved replace(quint64 id, const Entry& before, const Entry& entry);
    Saved remove(int row);
    // Sorting is saved with the next change.
    void sort(const SortSettings& settings);
    Saved save() { return commit(-1); }
    // Whether the file is sealed: only the master password opens it. Sealing and unsealing save
    // at once; unsealed, the file is exactly what a classic save writes. Sealing seals the classic
    // conflict files beside it too.
    bool sealed() const { return m_key != nullptr; }
    sealedformat::Params sealParams() const { return m_key ? m_key->params() : sealedformat::Params{}; }
    Saved setSealed(bool on, sealedformat::Params params = sealedformat::defaultParams());

    // Where the record of the vault's versions is kept (RecordStore); empty: none is kept. Set
    // before the vault is unlocked.
    void setRecordFolder(const QString& folder) { m_recordFolder = folder; }

    // Merges the conflict copies beside the file into the list. save: writes the merge (when it
    // changed an entry) and removes the merged copies; else the next save does.
    CopiesMerged mergeConflictCopies(bool save);
    // The conflict copies beside the file.
    QStringList conflictCopies() const;

    // Nothing may be written (no lock could be had, but no other copy holds the file): every save
    // fails with this reason, and the file stays as it is.
    void setReadOnly(const QString& reason) { m_readOnly = reason; }
    const QString& readOnlyReason() const { return m_readOnly; }

    // Whether a change is still to be saved (a sort alone does not count).
    bool hasUnsavedChanges() const;

    // Watches the file: when it changes elsewhere and nothing here is unsaved, the rows are
    // reloaded from it within a few seconds (reloaded()); a file that cannot be read under this
    // master password is left alone (notReloaded(), once for each state of the file).
    void watch();
    // Looks at the file now; what the watch does on each change.
    void reloadIfChanged();

signals:
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted();
    void rowChanged(int row);
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved();
    void rowsAboutToBeReordered();
    void rowsReordered(const std::vector<int>& order); // element i is the row that went to place i
    void rowsAboutToBeReset();
    void rowsReset();
    void reloaded(int entries);
    // The watch merged conflict copies, or found some that cannot be merged (said once each).
    void copiesMerged(const VaultSession::CopiesMerged& merged);
    void notReloaded(const QString& reason);
    // A key is being derived (a sealed file): the program goes on painting, user input waits.
    void working(bool busy);
    // A save put a new file in the data file's place (the lock follows it).
    void fileReplaced();

private:
    Loaded load(QByteArray bytes);
    void resetRows(const std::vector<Entry>& entries);
    // The file as this run writes it: the classic bytes, sealed when the vault is.
    QByteArray bytesToWrite() const;
    // The same, handed to the sink in pieces.
    bool writeFile(const vaultstorage::Sink& sink) const;
    // Reads the file when it changed elsewhere and puts this run's changes on top of it: the
    // rows become the merge. Used by every save and by the watch.
    VaultDisk::Changes takeChangesMadeElsewhere();
    // Writes the rows, merged with what changed elsewhere and with the conflict copies; when
    // onlyIfChanged, nothing is written unless an entry changed.
    Saved commit(int row, bool onlyIfChanged = false);
    // The record of the vault's versions, read once the vault is unlocked.
    void loadRecord();
    const copymerge::Digests& digests() const;
    copymerge::Version versionOf(const std::vector<Entry>& entries) const;
    copymerge::Version versionOfRows() const;
    // Merges every copy not refused before into the rows; file: the data file's entries (null: the
    // rows, which stand on it).
    CopiesMerged mergeCopiesIntoRows(const copymerge::Version* file);
    // After a save (written: the rows went to the file): the merged copies go, and the record
    // learns the version written (wholeList: from the whole list, else from this run's changes).
    void afterWrite(bool written, bool wholeList = false);
    // The file was read from elsewhere: the record starts again from it.
    void noteRead(const copymerge::Version& file);
    // Whether the rows stand on the file the record last knew (or one with its very entries).
    bool standsOnRecordedFile(const copymerge::Version* file);
    // Whether copies beside the file wait to be merged (ones refused before, unchanged, do not).
    bool copiesToLookAt() const;

    VaultDisk m_disk;
    QByteArray m_fileBytes; // as read at open(), until the rows take them over
    QString m_storedPassword;
    QString m_master;
    EntryStore m_store;
    EntrySort m_sort;
    bool m_openedSealed = false;
    sealedformat::KeyPtr m_key; // while the file is sealed
    QString m_damage;
    std::vector<vaultmerge::Change> m_pending; // this run's changes not yet in the file
    QString m_readOnly;                        // why nothing may be written; empty when it may
    QString m_recordFolder;
    std::unique_ptr<RecordStore> m_record;
    QStringList m_mergedCopies;                // to be removed by the next save
    QHash<QString, DiskState> m_refusedCopies; // said once each, while they stay as they are
    bool m_busy = false; // inside a save or a look at the file, whose wait for a key lets events run
};
Q_DECLARE_METATYPE(VaultSession::CopiesMerged)
