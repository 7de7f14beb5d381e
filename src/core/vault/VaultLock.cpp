#include "core/vault/VaultLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The lock on the data file itself, on one opening of it; false when another copy holds it.
// An exclusive flock needs no write access, so a read-only file can be held too.
int lockedOpening(const QString& path, bool* heldElsewhere)
{
    *heldElsewhere = false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *heldElsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QString VaultLock::lockPathFor(const QString& vaultPath)
{
    // The same file reached by another path (a link, "..") gets the same lock file: the one
    // beside the file the path ends at.
    const QFileInfo info(vaultPath);
    const QString real = info.canonicalFilePath();
    if (!real.isEmpty())
        return real + QStringLiteral(".lock");
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName() +
           QStringLiteral(".lock");
}

bool VaultLock::tryAcquire(const QString& vaultPath)
{
    release();
    m_refusal = Refusal::None;
    m_readOnlyIsSafe = false;
    m_vaultPath = vaultPath;
    m_path = lockPathFor(vaultPath);
    // The file itself first: held through any other path or hard link, nothing is made here.
    if (!lockDataFile(vaultPath))
        return false;
    const QByteArray lockName = QFile::encodeName(m_path);
    // Owner-only, never through a link someone put there, never inherited by a started program.
    const int fd = ::open(lockName.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        const bool exists = ::lstat(lockName.constData(), &st) == 0;
        if (error == EROFS || ((error == EACCES || error == EPERM) && !exists))
            m_refusal = Refusal::ReadOnlyFolder;
        else if ((error == EACCES || error == EPERM) && S_ISREG(st.st_mode) && st.st_uid != ::getuid())
            m_refusal = Refusal::ForeignLockFile;
        else
            m_refusal = Refusal::CannotCreate;
        // Reading is still safe: no running copy holds the file itself.
        m_readOnlyIsSafe = m_refusal != Refusal::CannotCreate;
        if (!m_readOnlyIsSafe)
            release();
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_refusal = errno == EWOULDBLOCK ? Refusal::HeldByOther : Refusal::CannotCreate;
        ::close(fd);
        release();
        return false;
    }
    m_lockFile = fd;
    return true;
}

bool VaultLock::lockDataFile(const QString& vaultPath)
{
    bool heldElsewhere = false;
    const int fd = lockedOpening(vaultPath, &heldElsewhere);
    if (heldElsewhere) {
        m_refusal = Refusal::HeldByOther;
        return false;
    }
    if (fd >= 0)
        m_dataFiles.push_back(fd);
    return true; // a file not there yet is held through the lock file alone
}

void VaultLock::followReplacement()
{
    if (m_dataFiles.empty() && m_lockFile < 0)
        return;
    // Earlier files no other link reaches are let go of.
    std::vector<int> kept;
    for (const int fd : m_dataFiles) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_nlink > 0)
            kept.push_back(fd);
        else
            ::close(fd);
    }
    m_dataFiles = std::move(kept);
    bool heldElsewhere = false;
    const int fd = lockedOpening(m_vaultPath, &heldElsewhere);
    if (fd >= 0)
        m_dataFiles.push_back(fd);
}

void VaultLock::release()
{
    if (m_lockFile >= 0)
        ::close(m_lockFile);
    m_lockFile = -1;
    for (const int fd : m_dataFiles)
        ::close(fd);
    m_dataFiles.clear();
}

VaultLock::~VaultLock()
{
    release();
}
