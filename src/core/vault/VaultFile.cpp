#include "core/vault/VaultFile.h"

#include "core/vault/EntryStore.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"

namespace vaultfile {

Read read(const QString& path)
{
    Read read;
    const Result made = vaultstorage::ensureVaultFile(path);
    if (!made.ok) {
        read.ok = false;
        read.reason = made.reason;
        read.creating = true;
        return read;
    }
    ResultWith<QByteArray> bytes = vaultstorage::readAll(path);
    static_cast<ResultWith<QByteArray>&>(read) = std::move(bytes);
    return read;
}

QByteArray fileFor(const QString& master, const EntryStore& store)
{
    vaultformat::FileWriter writer(master, store.fileSize());
    store.writeTo(writer);
    return writer.finish();
}

} // namespace vaultfile
