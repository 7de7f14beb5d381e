#pragma once
#include "core/vault/VaultFormat.h"

#include <vector>

// The bytes a save writes for these entries under this master password.
inline QByteArray fullVault(const QString& master, const std::vector<Entry>& entries)
{
    qsizetype size = 0;
    for (const Entry& e : entries)
        size += vaultformat::lineBytes(e);
    vaultformat::FileWriter writer(master, size);
    for (const Entry& e : entries)
        writer.add(e);
    return writer.finish();
}
