#pragma once
#include <QString>
#include <QStringList>

// The copies a sync engine leaves beside a data file when it was changed on two machines at once:
// one table of the names each engine gives its copy of, say, data.enc. No other file is one.
//   data.sync-conflict-20261211-035724-NYCEVZ5.enc    (device: 7 letters or digits 2-7)
//   data (conflicted copy 2026-12-11 035724).enc
//   data_conflict-20261211-035724.enc
//   data (Ann's conflicted copy 2026-12-11).enc
// each with an optional " (N)" before the extension where the engine numbers copies of one moment.
namespace conflictcopies {

// Whether `name` is a sync engine's conflict copy of the data file named `dataFileName` (names
// only, no folders).
bool isCopyOf(const QString& name, const QString& dataFileName);

// The conflict copies beside the data file at this path, oldest name first.
QStringList besides(const QString& dataFilePath);

} // namespace conflictcopies
