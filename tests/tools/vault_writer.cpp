// Another writer of the same data.enc, as a second session would be: adds entries one by one,
// each saved at once, with a pause between them.
//   keyhaven_vault_writer PATH MASTER PREFIX COUNT PAUSE-MS
#include "core/vault/VaultSession.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6)
        return 2;
    VaultSession vault(args[1]);
    if (!vault.open().ok || vault.unlock(args[2]) != VaultSession::Unlock::Unlocked)
        return 3;
    const int count = args[4].toInt();
    for (int i = 0; i < count; ++i) {
        const QString name = args[3] + QString::number(i);
        const VaultSession::Saved saved = vault.add({name, QStringLiteral("pw"), QStringLiteral("elsewhere")});
        if (!saved.ok) {
            std::fprintf(stderr, "%s not saved: %s\n", qPrintable(name), qPrintable(saved.reason));
            return 1;
        }
        QThread::msleep(args[5].toULong());
    }
    return 0;
}
