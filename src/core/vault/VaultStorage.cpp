#include "core/vault/VaultStorage.h"

#include "core/platform/InParallel.h"
#include "core/vault/VaultFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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
Result writeAll(QSaveFile& file, QByteArrayView bytes)
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
    // Made new, never through a link nor onto something else there (which reading then refuses).
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST ? Result{} : failure(QString::fromLocal8Bit(std::strerror(errno)));
    const QByteArray line = vaultformat::emptyFile();
    const bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size();
    const int error = errno;
    ::close(fd);
    if (!written)
        return failure(QString::fromLocal8Bit(std::strerror(error)));
    return {};
}

qint64 largestFile()
{
    // The rows are kept in the file's own bytes, so holding a file takes about twice its size;
    // beyond a quarter of the machine's memory it would push everything else out.
    constexpr qint64 kFormatMost = qint64(16) << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return kFormatMost;
    return std::min(kFormatMost, qint64(pages) * pageSize / 4);
}

namespace {

constexpr qint64 kPiece = qint64(1) << 20;
// From this size on, a file is read in two halves, one on each of two threads.
constexpr qint64 kHalvesFrom = 2 * kPiece;

// Reads bytes[from, to) of the file, piece by piece, each added to the digest; how many it
// read (fewer where the file ended sooner), or why it failed.
ResultWith<qint64> readPart(int fd, QByteArray& bytes, qint64 from, qint64 to, ContentDigest* digest)
{
    qint64 at = from;
    while (at < to) {
        const ssize_t n = ::pread(fd, bytes.data() + at, size_t(std::min(to - at, kPiece)), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {failure(QString::fromLocal8Bit(std::strerror(errno)))};
        if (n == 0)
            break;
        if (digest)
            digest->add(QByteArrayView(bytes.constData() + at, n));
        at += n;
    }
    return {Result{}, at - from};
}

} // namespace

ResultWith<QByteArray> readAll(const QString& path, qint64 most, ContentDigest* digest)
{
    // Never blocks: a pipe or device put in the file's place is refused, not waited on.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {failure(errno == EISDIR ? QStringLiteral("It is a folder, not a file.")
                                        : QString::fromLocal8Bit(std::strerror(errno)))};
    const auto done = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {failure(QString::fromLocal8Bit(std::strerror(errno)))};
    if (S_ISDIR(st.st_mode))
        return {failure(QStringLiteral("It is a folder, not a file."))};
    if (!S_ISREG(st.st_mode))
        return {failure(QStringLiteral("It is not a regular file."))};
    if (st.st_size > most)
        return {failure(QStringLiteral("It holds %1, more than this program can hold here (at most %2).")
                            .arg(QLocale::c().formattedDataSize(st.st_size), QLocale::c().formattedDataSize(most)))};
    ResultWith<QByteArray> read;
    QByteArray& bytes = read.value;
    // The list keeps these bytes as its storage and adds new entries after them: room to grow
    // spares it a copy of them all at the first one. Pages never written cost no memory.
    const qint64 size = st.st_size;
    bytes.reserve(size + size / 16 + 4096);
    bytes.resize(size);
    if (digest)
        *digest = ContentDigest::of({}); // an empty file is known too
    qint64 got = 0;
    if (size >= kHalvesFrom) {
        const qint64 half = size / 2;
        ContentDigest secondDigest;
        ResultWith<qint64> first;
        ResultWith<qint64> second;
        inParallel([&] { first = readPart(fd, bytes, 0, half, digest); },
                   [&] { second = readPart(fd, bytes, half, size, digest ? &secondDigest : nullptr); });
        if (!first.ok)
            return {first};
        if (!second.ok)
            return {second};
        if (first.value == half) {
            got = half + second.value;
            if (digest)
                digest->append(secondDigest);
        } else if (digest) { // it shrank meanwhile: read again from the start
            *digest = ContentDigest::of({});
        }
    }
    // The rest, where the file is small, grew meanwhile or shrank.
    while (true) {
        if (got == bytes.size()) {
            if (bytes.size() >= most + 1)
                return {failure(QStringLiteral("It grew past what this program can hold here (%1).")
                                    .arg(QLocale::c().formattedDataSize(most)))};
            bytes.resize(std::min(bytes.size() + 65536, most + 1)); // it grew meanwhile
        }
        const ResultWith<qint64> n = readPart(fd, bytes, got, bytes.size(), digest);
        if (!n.ok)
            return {n};
        if (n.value == 0)
            break;
        got += n.value;
    }
    bytes.resize(got);
    return read;
}

namespace {

// Writes the bytes to a new file beside path, complete and on disk; its name, or the reason.
ResultWith<QByteArray> writeBeside(const QString& path, const QByteArray& bytes, mode_t mode)
{
    QByteArray temp = QFile::encodeName(QFileInfo(path).absoluteFilePath()) + ".new-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return {failure(QString::fromLocal8Bit(std::strerror(errno)))};
    int error = 0;
    qint64 done = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += n;
    }
    if (error == 0 && (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0))
        error = errno;
    ::close(fd);
    if (error != 0) {
        ::unlink(temp.constData());
        return {failure(QString::fromLocal8Bit(std::strerror(error)))};
    }
    ResultWith<QByteArray> written;
    written.value = temp;
    return written;
}

// Gives the new file its name: only a free one, or in place of what is there (never through it).
Result giveName(const QByteArray& temp, const QString& path, bool onlyIfFree)
{
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, QFile::encodeName(path).constData(),
                    onlyIfFree ? RENAME_NOREPLACE : 0) == 0)
        return {};
    const int error = errno;
    ::unlink(temp.constData());
    return failure(error == EEXIST ? QStringLiteral("A file of that name is there already.")
                                   : QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

Result writeNewFile(const QString& path, const QByteArray& bytes, mode_t mode)
{
    // Written whole under a name of its own, then given its name only if that name is free: never
    // through a link someone put there, never over another file.
    const ResultWith<QByteArray> temp = writeBeside(path, bytes, mode);
    return temp.ok ? giveName(temp.value, path, true) : Result(temp);
}

Result replaceWithNewFile(const QString& path, const QByteArray& bytes, mode_t mode)
{
    const ResultWith<QByteArray> temp = writeBeside(path, bytes, mode);
    return temp.ok ? giveName(temp.value, path, false) : Result(temp);
}

Result saveAtomically(const QString& path, const QByteArray& bytes, const std::function<Result()>& beforeReplace)
{
    return saveAtomically(
        path, [&bytes](const Sink& sink) { return sink(bytes); }, beforeReplace);
}

Result saveAtomically(const QString& path, const Producer& produce, const std::function<Result()>& beforeReplace)
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
    Result written;
    const bool whole = produce([&](QByteArrayView piece) {
        written = writeAll(file, piece);
        return written.ok;
    });
    if (!whole || !written.ok) {
        file.cancelWriting();
        return written.ok ? failure(QStringLiteral("The file could not be made.")) : written;
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
