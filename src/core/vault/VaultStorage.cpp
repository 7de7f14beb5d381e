#include "core/vault/VaultStorage.h"

#include "core/vault/VaultFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vaultstorage {
namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

Result failure(const QString& reason)
{
    return {false, reason};
}

// Writes all the bytes, going on after short writes; a write that stops says why. The file is
// unbuffered, so each failure here is the system's own, with its own words.
Result writeAll(QSaveFile& file, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n < 0)
            return failure(file.errorString());
        if (n == 0)
            return failure(QStringLiteral("The file system took none of the bytes written."));
        done += n;
    }
    return {};
}

} // namespace

QString vaultPath(const QString& programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("data.enc"));
}

QString fileNamePart(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return cut < 0 ? path : path.mid(cut + 1);
}

bool fileExists(const QString& path)
{
    if (path.isEmpty() || fileNamePart(path).isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

Result ensureVaultFile(const QString& path)
{
    if (fileExists(path))
        return {};
    if (QFileInfo(path).isDir())
        return failure(QStringLiteral("A folder has the name of the data file."));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append, kOwnerOnly))
        return failure(file.errorString());
    const QByteArray line = vaultformat::emptyFile();
    if (file.write(line) != line.size() || !file.flush())
        return failure(file.errorString());
    return {};
}

ResultWith<QByteArray> readAll(const QString& path)
{
    ResultWith<QByteArray> read;
    QByteArray& bytes = read.value;
    const QFileInfo info(path);
    if (info.isDir())
        return {failure(QStringLiteral("It is a folder, not a file."))};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {failure(file.errorString())};
    // The list keeps these bytes as its storage and adds new entries after them: room to grow
    // spares it a copy of them all at the first one. Pages never written cost no memory.
    const qint64 size = file.size();
    bytes.clear();
    bytes.reserve(size + size / 16 + 4096);
    bytes.resize(size);
    const qint64 got = size > 0 ? file.read(bytes.data(), size) : 0;
    if (got < 0)
        return {failure(file.errorString())};
    bytes.resize(got);
    bytes.append(file.readAll()); // what a file that grew meanwhile, or has no known size, holds beyond
    if (file.error() != QFileDevice::NoError)
        return {failure(file.errorString())};
    return read;
}

Result saveAtomically(const QString& path, const QByteArray& bytes, const std::function<Result()>& beforeReplace)
{
    const QFileInfo info(path);
    if (info.isDir())
        return failure(QStringLiteral("A folder has the name of the data file."));
    const bool existed = info.exists();
    if (existed && !(info.permissions() & QFileDevice::WriteOwner))
        return failure(QStringLiteral("The file is read-only."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(file.errorString());
    if (!existed)
        file.setPermissions(kOwnerOnly);
    // Unbuffered: a buffered file writes its last bytes in commit(), which does not report a
    // failure to put them on disk, and a cut-off file would replace the whole one.
    Result written = writeAll(file, bytes);
    if (!written.ok) {
        file.cancelWriting();
        return written;
    }
    if (beforeReplace) {
        // On disk first, so that what is asked is as close to the replacement as it can be.
        if (::fsync(file.handle()) != 0) {
            Result failed = failure(QString::fromLocal8Bit(std::strerror(errno)));
            file.cancelWriting();
            return failed;
        }
        Result go = beforeReplace();
        if (!go.ok) {
            file.cancelWriting();
            return go;
        }
    }
    if (!file.commit())
        return failure(file.errorString());
    return {};
}

} // namespace vaultstorage
