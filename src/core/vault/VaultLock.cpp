#include "core/vault/VaultLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString VaultLock::lockPathFor(const QString& vaultPath)
{
    // The same file reached by another path (a link, "..") gets the same lock file.
    const QFileInfo info(vaultPath);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName() +
           QStringLiteral(".lock");
}

bool VaultLock::tryAcquire(const QString& vaultPath)
{
    release();
    m_heldByOther = false;
    m_path = lockPathFor(vaultPath);
    // Owner-only, never through a link someone put there, never inherited by a started program.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_heldByOther = errno == EWOULDBLOCK;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void VaultLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

VaultLock::~VaultLock()
{
    release();
}
