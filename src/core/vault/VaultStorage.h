#pragma once
#include "core/platform/Result.h"

#include <QByteArray>
#include <QString>
#include <functional>

// The file side of the vault: finding, creating, reading and atomically replacing data.enc.
namespace vaultstorage {

using Result = ::Result;

QString vaultPath(const QString& programFolder);

// The part of a path after its last separator (backslash or slash); the whole path without one.
QString fileNamePart(const QString& path);

// Whether a normal file exists at the path; any error counts as no.
bool fileExists(const QString& path);

// Creates the file as one empty line, readable and writable by its owner only, when it is missing.
Result ensureVaultFile(const QString& path);

// Reads the whole file.
ResultWith<QByteArray> readAll(const QString& path);

// Replaces the file with the bytes, never leaving a torn file: the new content is complete and
// flushed before it takes the old one's place. A read-only file is left alone and reported.
// beforeReplace, when given, is asked last, just before the new file takes the old one's place:
// when it fails, the old file stays and its reason is returned.
Result saveAtomically(const QString& path, const QByteArray& bytes, const std::function<Result()>& beforeReplace = {});

} // namespace vaultstorage
