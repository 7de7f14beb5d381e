#include "core/vault/SaveTurn.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 5000; // another save takes far less; a stuck one is not waited for longer

} // namespace

SaveTurn::SaveTurn(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    for (int waited = 0; waited < kWaitMs; waited += 2) {
        m_fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (m_fd < 0)
            return; // nothing to lock: the save says what is wrong
        // A lock of the open file's own (not flock, which the running program holds on the file
        // for as long as it runs).
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (::fcntl(m_fd, F_OFD_SETLK, &whole) == 0) {
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
