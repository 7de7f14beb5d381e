#pragma once
#include "core/vault/Entry.h"
#include "core/vault/SealedFormat.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The benchmark's data: generated entries, each size's data file (classic and sealed) written once
// in the run's folder, and fresh copies of them for the cases that save.
namespace benchdata {

inline const QString kMaster = QStringLiteral("correct horse");

// Deterministic on every platform: usernames and passwords of letters and digits with a character
// from anywhere in the code page now and then, web addresses as locations.
std::vector<Entry> makeEntries(int count, quint64 seed = 42);

QString folder(); // the run's folder
const QByteArray& fileBytes(int count);
QString sourcePath(int count);                      // the size's data file, never written over
QString dataFileOf(int count, const QString& name); // a fresh copy of it, to save over
const sealedformat::KeyPtr& sealKey();
QString sealedPath(int count); // the size's file, sealed with sealKey()

} // namespace benchdata
