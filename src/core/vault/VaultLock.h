#pragma once
#include <QString>
#include <vector>

// One writer per data file, whatever path, link or hard link reaches it: an advisory lock on a file
// beside its real path (data.enc.lock), and one on the data file itself, both held while the
// program runs and let go of by the system when their holder ends, crashed or not. The lock file
// stays; only the lock on it counts.
class VaultLock {
public:
    VaultLock() = default;
    ~VaultLock();
    VaultLock(const VaultLock&) = delete;
    VaultLock& operator=(const VaultLock&) = delete;

    // Why a lock could not be had.
    enum class Refusal {
        None,
        HeldByOther,     // a running copy holds the file
        ReadOnlyFolder,  // no lock file can be made in the file's folder, which cannot be written
        ForeignLockFile, // the lock file belongs to another user
        CannotCreate     // anything else keeps the lock file from being made
    };

    static QString lockPathFor(const QString& vaultPath);
    bool tryAcquire(const QString& vaultPath);
    bool held() const { return m_lockFile >= 0; }
    // After a failed tryAcquire.
    Refusal refusal() const { return m_refusal; }
    bool heldByOther() const { return m_refusal == Refusal::HeldByOther; }
    // Whether no other copy holds the file, so that it may be read although no lock could be had:
    // its folder is read-only, or another user's lock file is in the way. Nothing may be written.
    bool readOnlyIsSafe() const { return m_readOnlyIsSafe; }
    QString path() const { return m_path; }
    // The data file was replaced by a save: the new one is held too.
    void followReplacement();
    void release();

private:
    bool lockDataFile(const QString& vaultPath);

    int m_lockFile = -1;
    std::vector<int> m_dataFiles; // the data file as it is, and earlier ones other links still reach
    Refusal m_refusal = Refusal::None;
    bool m_readOnlyIsSafe = false;
    QString m_path;
    QString m_vaultPath;
};
