#pragma once
#include "core/platform/Result.h"
#include "core/vault/DiskState.h"
#include "core/vault/KeyCache.h"
#include "core/vault/SaveTurn.h"
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFile.h"
#include "core/vault/VaultMerge.h"
#include "core/vault/VaultStorage.h"

#include <QObject>
#include <QTimer>

class QFileSystemWatcher;

// data.enc on disk as this run knows it: what it last read or wrote, reading a file that was
// changed elsewhere (a sync tool, another session, the command line) and merging this run's
// changes on it, writing the list in its place, the conflict file beside it when it cannot take
// them, and watching it. The session keeps the rows and the changes; the file is here.
class VaultDisk : public QObject {
    Q_OBJECT
public:
    explicit VaultDisk(QString path, QObject* parent = nullptr);

    const QString& path() const { return m_path; }

    // Makes sure the file exists and reads it whole; what it read is what this run knows.
    vaultfile::Read open();

    // What a look at the file found: it is as this run left it, or it changed elsewhere and the
    // changes were replayed on it (merged), or it cannot take them (refused, with the reason).
    struct Changes {
        enum class Kind { None, Merged, Refused };
        Kind kind = Kind::None;
        vaultmerge::Replayed merged;
        std::vector<Entry> file;  // Merged: the file's own entries
        sealedformat::KeyPtr key; // Merged: the key that opened the file, when it is sealed
        QString reason;           // Refused
    };
    // Whether a look at the file's name, size and times finds it as this run last knew it.
    bool unchangedAtAGlance() const { return DiskState::of(m_path).sameFileAs(m_known); }
    // Looks at the file and, when it changed elsewhere, reads it (a sealed one under the master
    // password, with the key at hand when it fits) and replays the changes on its entries. A file
    // that is gone holds nothing to merge.
    Changes mergeChangesMadeElsewhere(const QString& master, const sealedformat::KeyPtr& key,
                                      const std::vector<vaultmerge::Change>& changes);

    // While the turn is held, other copies of this code saving the file wait for it.
    [[nodiscard]] SaveTurn takeTurn() const { return SaveTurn(m_path); }
    // A conflict copy a sync engine left beside the file, read as the file is read.
    struct Copy {
        bool ok = false;
        std::vector<Entry> entries;
        sealedformat::KeyPtr key; // a sealed copy's
        QString reason;           // why it cannot be merged
        DiskState state;
    };
    Copy readCopy(const QString& path, const QString& master, const sealedformat::KeyPtr& key);

    // The file as this run last read or wrote it, as every process tells it.
    QByteArray knownIdentity() const { return m_known.identity(); }

    // Puts the bytes in place of the file, unless it changed since the last look: then
    // changedMeanwhile is set, the file stays, and the caller looks again.
    // The bytes are made as they are written (produce hands them to the sink in pieces).
    Result write(const vaultstorage::Producer& produce, bool* changedMeanwhile);
    // The bytes went to the file by other means (a new file): this run knows them.
    void wrote(const QByteArray& bytes);

    // Writes the bytes to a new file beside the data file, named for the time; its name, or an
    // empty one when none could be written.
    QString writeConflictFile(const QByteArray& bytes) const;

    // The conflict files this program wrote beside the data file.
    QStringList conflictFiles() const;
    // Seals the classic conflict files under this master password with the key, in place; the ones
    // sealed, and the ones left as they are (under another password, or unreadable).
    struct SealedConflicts {
        QStringList sealed;
        QStringList left;
    };
    SealedConflicts sealConflictFiles(const QString& master, const sealedformat::Key& key) const;

    // Watches the file and its folder; changed() comes once the file has been quiet for a moment,
    // and now and then anyway, since not every folder reports changes.
    void watch();
    // Whether the file as last looked at is refused for the first time: a refusal is said once
    // for each state of the file.
    bool firstRefusalOfThisFile();

    // The keys of sealed files this run met; the session adds the one it holds.
    KeyCache& keys() { return m_keys; }

signals:
    void changed();
    // This run put a new file in the data file's place.
    void replaced();
    // A key is being derived away from this thread: user input waits.
    void working(bool busy);

private:
    void wrote(const ContentDigest& digest);

    QString m_path;
    DiskState m_known;       // the file as this run last read or wrote it
    DiskState m_looked;      // the file as the last look found it
    DiskState m_refused;     // the last state of the file that could not be merged
    QString m_refusedReason; // why
    DiskState m_refusalSaid; // the last state of the file whose refusal was said
    KeyCache m_keys;
    BusyReport m_busy;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_settle;
};
