#pragma once
#include <QString>

// One writer per data file: an advisory lock on a file beside it (data.enc.lock), held while the
// program runs. It is tied to the data file itself, whatever session, runtime folder or path
// spelling a copy starts with, and the system lets go of it when its holder ends, crashed or
// not. The lock file stays; only the lock on it counts.
class VaultLock {
public:
    VaultLock() = default;
    ~VaultLock();
    VaultLock(const VaultLock&) = delete;
    VaultLock& operator=(const VaultLock&) = delete;

    static QString lockPathFor(const QString& vaultPath);
    bool tryAcquire(const QString& vaultPath);
    bool held() const { return m_fd >= 0; }
    // After a failed tryAcquire: whether another copy holds the lock, rather than the lock file
    // being impossible to create.
    bool heldByOther() const { return m_heldByOther; }
    QString path() const { return m_path; }
    void release();

private:
    int m_fd = -1;
    bool m_heldByOther = false;
    QString m_path;
};
