#pragma once
#include "core/platform/Result.h"
#include "core/vault/DiskState.h"

#include <QByteArray>
#include <QString>
#include <sys/types.h>

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

// The largest file that can be held: the list takes about twice its file's size in memory.
qint64 largestFile();

// Reads the whole file. A file larger than `most`, or one that is no regular file (a pipe, a
// device), is refused before it is read, and reading never waits. A large file is read in two
// halves, one on each of two threads. Where a digest is given, it is made of the bytes read, each
// piece while it is fresh in the processor's cache.
ResultWith<QByteArray> readAll(const QString& path, qint64 most = largestFile(), ContentDigest* digest = nullptr);

// Creates a new file with these bytes and this mode, complete and on disk before it has its name;
// fails when a file (or a link) already has that name.
Result writeNewFile(const QString& path, const QByteArray& bytes, mode_t mode);
// The same, put in place of whatever has that name (a link there is replaced, never followed).
Result replaceWithNewFile(const QString& path, const QByteArray& bytes, mode_t mode);

// Replaces the file with the bytes, never leaving a torn file: the new content is complete and
// flushed before it takes the old one's place. A read-only file is left alone and reported.
// beforeReplace, when given, is asked last, just before the new file takes the old one's place:
// when it fails, the old file stays and its reason is returned.
Result saveAtomically(const QString& path, const QByteArray& bytes, const std::function<Result()>& beforeReplace = {});
// The same with the bytes made as they are written: produce hands them to the sink in pieces (which
// says whether it could write each) and says whether all went.
using Sink = std::function<bool(QByteArrayView piece)>;
using Producer = std::function<bool(const Sink& sink)>;
Result saveAtomically(const QString& path, const Producer& produce, const std::function<Result()>& beforeReplace = {});

} // namespace vaultstorage
