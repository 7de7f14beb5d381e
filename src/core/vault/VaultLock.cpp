#include "core/vault/VaultLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString VaultLock::lockPathFor(const QString& vaultPath)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QDir().mkpath(folder);
    // The same file reached by another path (a link, "..") gets the same lock.
    const QFileInfo info(vaultPath);
    const QString folderPath = QFileInfo(info.absolutePath()).canonicalFilePath();
    const QString full = (folderPath.isEmpty() ? info.absolutePath() : folderPath) + QLatin1Char('/') + info.fileName();
    const QByteArray key = QCryptographicHash::hash(full.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QDir(folder).filePath(QStringLiteral("keyhaven-") + QString::fromLatin1(key) + QStringLiteral(".lock"));
}

bool VaultLock::tryAcquire(const QString& vaultPath)
{
    m_lock = std::make_unique<QLockFile>(lockPathFor(vaultPath));
    m_lock->setStaleLockTime(0); // only a holder that is gone counts as stale, never a slow one
    return m_lock->tryLock(0);
}
