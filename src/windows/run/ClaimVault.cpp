#include "windows/run/ClaimVault.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/ProgramEnd.h"
#include "core/vault/VaultLock.h"
#include "core/vault/VaultStorage.h"
#include "windows/context/AppContext.h"

#include <QDir>

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
    ctx.platform.messages.show(nullptr, text, MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Warning);
    ctx.platform.programEnd.endNow();
    return false;
}
