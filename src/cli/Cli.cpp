#include "cli/Cli.h"

#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "core/platform/SecretInput.h"
#include "core/vault/VaultLock.h"
#include "core/vault/VaultSession.h"
#include "core/vault/VaultStorage.h"

#include <QDir>
#include <QIODevice>

namespace cli {

int run(const QStringList& arguments, const QString& programFolder, SecretInput& secrets, QIODevice& out,
        bool outIsTerminal, QIODevice& err)
{
    Output output(out, outIsTerminal, err);
    if (arguments.isEmpty()) {
        err.write(helpText().toUtf8());
        return BadInput;
    }
    const Request request = parseCommandLine(arguments);
    if (request.kind == Request::Kind::Help) {
        out.write(helpText().toUtf8());
        return Done;
    }
    if (request.kind == Request::Kind::Bad)
        return output.fail(BadInput, request.problem);
    const QString path = request.file ? *request.file : vaultstorage::vaultPath(programFolder);
    const QString shownPath = QDir::toNativeSeparators(path);

    // The same lock as the program: never a write while it has the file open.
    if (!vaultstorage::fileExists(path))
        return output.fail(FileProblem, QStringLiteral("there is no data file at %1").arg(shownPath));
    VaultLock lock;
    QString readOnly; // why nothing may be written, when only reading is safe
    if (!lock.tryAcquire(path)) {
        const QString lockFile = QDir::toNativeSeparators(lock.path());
        switch (lock.refusal()) {
        case VaultLock::Refusal::HeldByOther:
            return output.fail(FileProblem, QStringLiteral("a running Keyhaven holds %1").arg(shownPath));
        case VaultLock::Refusal::ReadOnlyFolder:
            readOnly = QStringLiteral("the folder of %1 cannot be written").arg(shownPath);
            break;
        case VaultLock::Refusal::ForeignLockFile:
            readOnly = QStringLiteral("its lock file belongs to another user: %1").arg(lockFile);
            break;
        default: return output.fail(FileProblem, QStringLiteral("its lock file cannot be created: %1").arg(lockFile));
        }
        if (!lock.readOnlyIsSafe())
            return output.fail(FileProblem, QStringLiteral("a running Keyhaven holds %1").arg(shownPath));
        if (request.command->changesVault)
            return output.fail(FileProblem, QStringLiteral("%1 cannot be changed: %2").arg(shownPath, readOnly));
    }
    VaultSession vault(path);
    vault.setReadOnly(readOnly);
    // Every save puts a new file in place: the lock holds it too.
    QObject::connect(&vault, &VaultSession::fileReplaced, [&lock] { lock.followReplacement(); });
    const VaultSession::Opened opened = vault.open();
    if (!opened.ok)
        return output.fail(FileProblem, QStringLiteral("%1 cannot be read: %2").arg(shownPath, opened.reason));
    if (vault.needsNewPassword())
        return output.fail(
            BadInput, QStringLiteral("%1 has no master password yet: start Keyhaven once to create it").arg(shownPath));
    const ResultWith<QString> master = secrets.read(QStringLiteral("Master password: "));
    if (!master.ok)
        return output.fail(BadInput, master.reason);
    const VaultSession::Unlock unlocked = vault.unlock(master.value);
    if (unlocked == VaultSession::Unlock::Damaged)
        return output.fail(FileProblem, QStringLiteral("%1 cannot be read: %2").arg(shownPath, vault.damage()));
    if (unlocked != VaultSession::Unlock::Unlocked)
        return output.fail(WrongPassword, QStringLiteral("wrong master password"));

    // What another machine's sync left beside the file: shown merged; written only with a change.
    const VaultSession::CopiesMerged copies = vault.mergeConflictCopies(false);
    if (!request.command->changesVault && (copies.copies > 0 || !copies.refused.isEmpty()))
        output.report(QStringLiteral("shown with the conflict copies merged, nothing written") +
                      Output::copiesText(copies));

    Context context{request, output, secrets, vault, request.command->changesVault ? &vault : nullptr};
    return request.command->run(context);
}

} // namespace cli
