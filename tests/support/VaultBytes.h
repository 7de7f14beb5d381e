#pragma once
#include "core/vault/VaultFormat.h"

#include <vector>

// The bytes a save writes for these entries under this master password.
inline QByteArray fullVault(const QString& master, const std::vector<Entry>& entries)
{
    QByteArray out;
    vaultformat::FileWriter writer(master, [&out](QByteArrayView piece) {
        out.append(piece);
        return true;
    });
    for (const Entry& e : entries)
        writer.add(e);
    writer.finish();
    return out;
}
