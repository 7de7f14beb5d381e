#include "cli/ImportFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace cli {

namespace {

Result systemFailure()
{
    return Result::failure(QString::fromLocal8Bit(std::strerror(errno)));
}

QString tooLarge()
{
    return QStringLiteral("it is larger than %1 MiB, far more than any export of passwords").arg(kLargestImport >> 20);
}

// Why a file of this kind and size is not read; empty when it is read.
QString refusal(const struct stat& info)
{
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("it is a folder");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return QStringLiteral("it is no file but a device");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("it is no file but a pipe");
    if (S_ISSOCK(info.st_mode))
        return QStringLiteral("it is no file but a socket");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("it is no regular file");
    if (info.st_size > kLargestImport)
        return tooLarge();
    return {};
}

} // namespace

ResultWith<QByteArray> readImportFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    // Looked at before it is opened, since opening a device may already set it going; and again
    // once open, since it may have been swapped for another meanwhile.
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return {systemFailure()};
    if (const QString refused = refusal(info); !refused.isEmpty())
        return {Result::failure(refused)};
    // Not blocking: a pipe put there meanwhile would wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {systemFailure()};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {Result::failure(file.errorString())};
    }
    if (::fstat(fd, &info) != 0)
        return {systemFailure()};
    if (const QString refused = refusal(info); !refused.isEmpty())
        return {Result::failure(refused)};
    // To its end, which may lie beyond the size it had (it may grow meanwhile), up to the bound.
    ResultWith<QByteArray> read;
    read.value.reserve(info.st_size);
    char chunk[1 << 16];
    for (qint64 got = file.read(chunk, sizeof chunk); got != 0; got = file.read(chunk, sizeof chunk)) {
        if (got < 0)
            return {Result::failure(file.errorString())};
        read.value.append(chunk, got);
        if (read.value.size() > kLargestImport)
            return {Result::failure(tooLarge())};
    }
    return read;
}

} // namespace cli
