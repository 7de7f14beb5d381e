#pragma once
#include "core/vault/VaultFormat.h"
#include "support/VaultBytes.h"

#include <QString>
#include <vector>

// The lists the save-loop helper writes one after another; the test computes the same ones to
// recognise what it finds on disk. Version n holds entries 0..n-1, so every version differs.
namespace saveversions {

inline const QString kMaster = QStringLiteral("master");

inline Entry entry(int i)
{
    const QString n = QString::number(i);
    return {QStringLiteral("user") + n, QStringLiteral("pw-") + QString::number(i * 7919 % 10007),
            QStringLiteral("https://site") + n + QStringLiteral(".example/") + QString(i % 200, QLatin1Char('x'))};
}

inline QByteArray bytes(int n)
{
    std::vector<Entry> entries;
    for (int i = 0; i < n; ++i)
        entries.push_back(entry(i));
    return fullVault(kMaster, entries);
}

} // namespace saveversions
