#include "core/vault/VaultFile.h"

#include "core/vault/EntryStore.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"

namespace vaultfile {

Read read(const QString& path, ContentDigest* digest)
{
    Read read;
    const Result made = vaultstorage::ensureVaultFile(path);
    if (!made.ok) {
        read.ok = false;
        read.reason = made.reason;
        read.creating = true;
        return read;
    }
    ResultWith<QByteArray> bytes = vaultstorage::readAll(path, vaultstorage::largestFile(), digest);
    static_cast<ResultWith<QByteArray>&>(read) = std::move(bytes);
    return read;
}

bool write(const QString& master, const EntryStore& store, const vaultformat::FileWriter::Sink& sink)
{
    vaultformat::FileWriter writer(master, sink);
    store.writeTo(writer);
    return writer.finish();
}

QByteArray fileFor(const QString& master, const EntryStore& store)
{
    QByteArray out;
    out.reserve(master.size() + store.fileSize() + 2 * vaultformat::kLineEndBytes);
    write(master, store, [&out](QByteArrayView piece) {
        out.append(piece);
        return true;
    });
    return out;
}

} // namespace vaultfile
