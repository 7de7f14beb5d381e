#include "vault/VaultLock.h"

#include "app/AppContext.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramEnd.h"
#include "vault/VaultStorage.h"

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

bool claimVault(AppContext& ctx, VaultLock& lock)
{
    const QString path = vaultstorage::vaultPath(ctx.programFolder);
    if (lock.tryAcquire(path))
        return true;
    const QString shownPath = QDir::toNativeSeparators(QDir::cleanPath(path));
    const QString& product = ctx.version.productName;
    const QString text =
        lock.heldByOther()
            ? QStringLiteral("%1 is already running with this data file:\n\n%2\n\n"
                             "Only one copy at a time may use it, so that neither overwrites "
                             "the other's changes. This copy will now close.")
                  .arg(product, shownPath)
            : QStringLiteral("%1 cannot make sure that it is the only copy using this data file:\n\n%2\n\n"
                             "Its lock file cannot be created:\n\n%3\n\n"
                             "This copy will now close, so that no two copies can overwrite each other's changes.")
                  .arg(product, shownPath, QDir::toNativeSeparators(lock.path()));
    ctx.platform.messages.show(text, MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Warning);
    ctx.platform.programEnd.endNow();
    return false;
}
