#pragma once
#include "core/platform/Result.h"

#include <QByteArray>
#include <QString>

namespace cli {

// Far more than any export of passwords holds.
constexpr qint64 kLargestImport = qint64(256) << 20;

// The bytes of a file to import. What is no regular file (a device or a pipe may never end, or
// never begin) or is larger than kLargestImport is refused before anything is read from it.
ResultWith<QByteArray> readImportFile(const QString& path);

} // namespace cli
