#include "vault/VaultStorage.h"

#include "vault/VaultFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace vaultstorage {
namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

Result failure(const QString& reason)
{
    return {false, reason};
}

} // namespace

QString vaultPath(const QString& programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("data.enc"));
}

QString FileNamePart(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return cut < 0 ? path : path.mid(cut + 1);
}

bool FileExists(const QString& path)
{
    if (path.isEmpty() || FileNamePart(path).isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

Result EnsureVaultFile(const QString& path)
{
    if (FileExists(path))
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

Result readAll(const QString& path, QByteArray& bytes)
{
    const QFileInfo info(path);
    if (info.isDir())
        return failure(QStringLiteral("It is a folder, not a file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString());
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failure(file.errorString());
    return {};
}

Result saveAtomically(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (info.isDir())
        return failure(QStringLiteral("A folder has the name of the data file."));
    const bool existed = info.exists();
    if (existed && !(info.permissions() & QFileDevice::WriteOwner))
        return failure(QStringLiteral("The file is read-only."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    if (!existed)
        file.setPermissions(kOwnerOnly);
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(reason);
    }
    if (!file.commit())
        return failure(file.errorString());
    return {};
}

} // namespace vaultstorage
