#pragma once
#include "core/platform/Result.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"

#include <QByteArray>
#include <QString>

class EntryStore;

// data.enc as a whole: reading it at start-up and writing the list back after every change. The
// windows show what these report; the work and its reasons are here.
namespace vaultfile {

// Makes sure the file exists, then reads it whole. When it fails, creating tells whether the
// file could not be created rather than read. Where a digest is given, it is made of the bytes.
struct Read : ResultWith<QByteArray> {
    bool creating = false;
};
Read read(const QString& path, ContentDigest* digest = nullptr);

// The whole file for the rows under the master password, in the rows' order, handed to the sink
// in pieces; whether it took them all.
bool write(const QString& master, const EntryStore& store, const vaultformat::FileWriter::Sink& sink);
// The same in one buffer.
QByteArray fileFor(const QString& master, const EntryStore& store);

} // namespace vaultfile
