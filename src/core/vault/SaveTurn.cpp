#include "core/vault/SaveTurn.h"

#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 5000; // another save takes far less; a stuck one is not waited for longer

} // namespace

SaveTurn::SaveTurn(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    for (int waited = 0; waited < kWaitMs; waited += 2) {
        m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (m_fd < 0)
            return; // nothing to lock: the save says what is wrong
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            // Still the file at that path? A save that went first put another one there.
            struct stat held {
            }, now{};
            if (::fstat(m_fd, &held) == 0 && ::stat(name.constData(), &now) == 0 && held.st_ino == now.st_ino &&
                held.st_dev == now.st_dev)
                return;
        }
        ::close(m_fd);
        m_fd = -1;
        ::usleep(2000);
    }
}

SaveTurn::~SaveTurn()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
