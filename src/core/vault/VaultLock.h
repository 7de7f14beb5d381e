#pragma once
#include <QLockFile>
#include <QString>
#include <memory>

// One writer per data file: a lock outside the program's folder, in the user's runtime folder,
// named after the data file's full path. A lock left by a copy that crashed is taken over.
class VaultLock {
public:
    static QString lockPathFor(const QString& vaultPath);
    bool tryAcquire(const QString& vaultPath);
    bool held() const { return m_lock && m_lock->isLocked(); }
    // After a failed tryAcquire: whether another copy holds the lock, rather than the lock file
    // being impossible to create.
    bool heldByOther() const { return m_lock && m_lock->error() == QLockFile::LockFailedError; }
    QString path() const { return m_lock ? m_lock->fileName() : QString(); }

private:
    std::unique_ptr<QLockFile> m_lock;
};
