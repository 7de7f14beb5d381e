#pragma once
#include "core/platform/Result.h"

#include <QByteArray>
#include <QString>
#include <memory>

// The sealed data.enc: the classic file's exact bytes, encrypted as a whole under a key derived
// from the master password, so that only the master password opens it. Byte by byte:
//   0   8  signature 01 0F 4B 48 53 45 41 4C ("\x01\x0FKHSEAL"; a classic file never starts so:
//          its bytes 01 and 0F stand for characters the code page does not have)
//   8   1  format version, 1
//   9   1  key derivation: 2, Argon2id version 1.3
//   10  8  its passes (opslimit), little-endian
//   18  8  its memory in bytes (memlimit), little-endian
//   26 16  its salt
//   42 16  key check: BLAKE2b-128 of "keyhaven key check" under the second half of the derived key
//   58 24  nonce of XChaCha20-Poly1305, new at every save
//   82 16  header digest: BLAKE2b-128 of bytes 0 to 81, so a damaged header is told from a wrong
//          password before any key is derived
//   98     the classic file encrypted with the first half of the derived key, and the 16-byte
//          tag; the 98 header bytes are its associated data, so no byte can change unnoticed.
namespace sealedformat {

inline constexpr qsizetype kHeaderBytes = 98;

struct Params {
    quint64 passes = 0;
    quint64 memoryBytes = 0;
    friend bool operator==(const Params&, const Params&) = default;
};
// About half a second on a small machine; the least a file may ask for; the most one may ask
// for, so that a file someone sent cannot make the program take unbounded time or memory.
Params defaultParams();
Params minimumParams();
Params maximumParams();

bool isSealed(QByteArrayView file);

struct Header {
    Params params;
    QByteArray salt;
    QByteArray keyCheck;
    QByteArray nonce;
};
ResultWith<Header> readHeader(QByteArrayView file);

// A key derived from a master password, kept in memory that is locked, guarded and wiped.
class Key {
public:
    ~Key();
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    const Params& params() const { return m_params; }
    const QByteArray& salt() const { return m_salt; }

private:
    friend struct KeyMaker;
    Key() = default;
    unsigned char* m_bytes = nullptr; // encryption key, then check key
    Params m_params;
    QByteArray m_salt;
};
using KeyPtr = std::shared_ptr<const Key>;

// A new key with a fresh salt, for sealing a file that was classic.
ResultWith<KeyPtr> newKey(const QString& password, Params params = defaultParams());
// The key of a sealed file's header for this password; fails when derivation is impossible.
ResultWith<KeyPtr> keyFor(const QString& password, const Header& header);
// A key of its own for another use of this file's secret (crypto_kdf), told apart by its context
// of 8 characters; 32 bytes.
QByteArray subkey(const Key& key, const char (&context)[9]);
// Whether the key is the one the header was sealed under.
bool keyMatches(const Key& key, const Header& header);

enum class Status { Opened, WrongPassword, Damaged };
struct Opened {
    Status status = Status::Damaged;
    QByteArray classic; // the classic file's bytes, when opened
    KeyPtr key;
    QString reason; // what is damaged
};
// Opens a sealed file with its master password. The file's own buffer becomes the classic
// bytes, so that a large file is not held twice.
Opened open(QByteArray file, const QString& password);
// Opens it with a key already at hand (a wrong key is a wrong password).
Opened openWithKey(QByteArray file, const KeyPtr& key);

// The sealed file for these classic bytes, with a fresh nonce, in the classic bytes' buffer.
QByteArray seal(QByteArray classic, const Key& key);

} // namespace sealedformat
