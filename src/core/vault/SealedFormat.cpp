#include "core/vault/SealedFormat.h"

#include <QtEndian>
#include <cstring>
#include <sodium.h>

namespace sealedformat {

namespace {

constexpr char kSignature[] = "\x01\x0FKHSEAL";
constexpr qsizetype kSignatureBytes = 8;
constexpr quint8 kVersion = 1;
constexpr quint8 kArgon2id = 2;
constexpr qsizetype kSaltBytes = crypto_pwhash_SALTBYTES;
constexpr qsizetype kCheckBytes = 16;
constexpr qsizetype kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr qsizetype kKeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr qsizetype kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr qsizetype kDigestBytes = 16;
constexpr char kCheckText[] = "keyhaven key check";
static_assert(kSignatureBytes + 2 + 8 + 8 + kSaltBytes + kCheckBytes + kNonceBytes + kDigestBytes == kHeaderBytes);

QByteArray digestOf(QByteArrayView bytes)
{
    QByteArray digest(kDigestBytes, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(digest.data()), size_t(kDigestBytes),
                       reinterpret_cast<const unsigned char*>(bytes.data()), size_t(bytes.size()), nullptr, 0);
    return digest;
}

bool ready()
{
    static const bool initialised = sodium_init() >= 0;
    return initialised;
}

QByteArray checkOf(const unsigned char* checkKey)
{
    QByteArray check(kCheckBytes, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(check.data()), size_t(kCheckBytes),
                       reinterpret_cast<const unsigned char*>(kCheckText), sizeof kCheckText - 1, checkKey,
                       size_t(kKeyBytes));
    return check;
}

QByteArray headerBytes(const Params& params, const QByteArray& salt, const QByteArray& check, const QByteArray& nonce)
{
    QByteArray out(kSignature, kSignatureBytes);
    out += char(kVersion);
    out += char(kArgon2id);
    char number[8];
    qToLittleEndian(params.passes, number);
    out.append(number, 8);
    qToLittleEndian(params.memoryBytes, number);
    out.append(number, 8);
    out += salt;
    out += check;
    out += nonce;
    out += digestOf(out);
    return out;
}

} // namespace

// Makes keys; the one place that writes into a key's guarded memory.
struct KeyMaker {
    static ResultWith<KeyPtr> derive(const QString& password, const Params& params, const QByteArray& salt)
    {
        if (!ready())
            return {Result::failure(QStringLiteral("the cryptography library cannot start"))};
        std::shared_ptr<Key> key(new Key);
        key->m_bytes = static_cast<unsigned char*>(sodium_malloc(size_t(2 * kKeyBytes)));
        if (!key->m_bytes)
            return {Result::failure(QStringLiteral("no memory for the key"))};
        key->m_params = params;
        key->m_salt = salt;
        QByteArray secret = password.toUtf8();
        const int derived =
            crypto_pwhash(key->m_bytes, size_t(2 * kKeyBytes), secret.constData(), size_t(secret.size()),
                          reinterpret_cast<const unsigned char*>(salt.constData()), params.passes,
                          size_t(params.memoryBytes), crypto_pwhash_ALG_ARGON2ID13);
        sodium_memzero(secret.data(), size_t(secret.size()));
        if (derived != 0)
            return {Result::failure(QStringLiteral("the key cannot be derived (not enough memory)"))};
        sodium_mprotect_readonly(key->m_bytes);
        ResultWith<KeyPtr> made;
        made.value = std::move(key);
        return made;
    }
    static const unsigned char* encryption(const Key& key) { return key.m_bytes; }
    static const unsigned char* check(const Key& key) { return key.m_bytes + kKeyBytes; }
};

Key::~Key()
{
    if (m_bytes)
        sodium_free(m_bytes); // wipes it
}

Params defaultParams()
{
    return {3, quint64(128) << 20};
}

Params minimumParams()
{
    return {3, quint64(64) << 20};
}

Params maximumParams()
{
    return {20, quint64(1) << 30};
}

bool isSealed(QByteArrayView file)
{
    return file.startsWith(QByteArrayView(kSignature, kSignatureBytes));
}

ResultWith<Header> readHeader(QByteArrayView file)
{
    if (!isSealed(file))
        return {Result::failure(QStringLiteral("it is not a sealed data file"))};
    if (file.size() < kHeaderBytes + kTagBytes)
        return {Result::failure(QStringLiteral("the sealed file is cut short"))};
    if (quint8(file[kSignatureBytes]) != kVersion)
        return {Result::failure(QStringLiteral("the sealed file is of format version %1, which this program does "
                                               "not know")
                                    .arg(quint8(file[kSignatureBytes])))};
    if (quint8(file[kSignatureBytes + 1]) != kArgon2id)
        return {Result::failure(QStringLiteral("the sealed file names a key derivation this program does not know"))};
    ResultWith<Header> read;
    Header& h = read.value;
    qsizetype at = kSignatureBytes + 2;
    h.params.passes = qFromLittleEndian<quint64>(file.data() + at);
    h.params.memoryBytes = qFromLittleEndian<quint64>(file.data() + at + 8);
    at += 16;
    const Params least = minimumParams();
    const Params most = maximumParams();
    if (h.params.passes < least.passes || h.params.passes > most.passes || h.params.memoryBytes < least.memoryBytes ||
        h.params.memoryBytes > most.memoryBytes)
        return {Result::failure(QStringLiteral("the sealed file asks for a key derivation out of bounds"))};
    if (!ready())
        return {Result::failure(QStringLiteral("the cryptography library cannot start"))};
    if (digestOf(file.first(kHeaderBytes - kDigestBytes)) != file.sliced(kHeaderBytes - kDigestBytes, kDigestBytes))
        return {Result::failure(QStringLiteral("the sealed file's header is damaged"))};
    h.salt = file.sliced(at, kSaltBytes).toByteArray();
    at += kSaltBytes;
    h.keyCheck = file.sliced(at, kCheckBytes).toByteArray();
    at += kCheckBytes;
    h.nonce = file.sliced(at, kNonceBytes).toByteArray();
    return read;
}

ResultWith<KeyPtr> newKey(const QString& password, Params params)
{
    if (!ready())
        return {Result::failure(QStringLiteral("the cryptography library cannot start"))};
    QByteArray salt(kSaltBytes, '\0');
    randombytes_buf(salt.data(), size_t(kSaltBytes));
    return KeyMaker::derive(password, params, salt);
}

ResultWith<KeyPtr> keyFor(const QString& password, const Header& header)
{
    return KeyMaker::derive(password, header.params, header.salt);
}

QByteArray subkey(const Key& key, const char (&context)[9])
{
    static_assert(crypto_kdf_KEYBYTES == kKeyBytes && crypto_kdf_CONTEXTBYTES == 8);
    QByteArray out(32, '\0');
    crypto_kdf_derive_from_key(reinterpret_cast<unsigned char*>(out.data()), size_t(out.size()), 1, context,
                               KeyMaker::encryption(key));
    return out;
}

bool keyMatches(const Key& key, const Header& header)
{
    return key.params() == header.params && key.salt() == header.salt &&
           sodium_memcmp(checkOf(KeyMaker::check(key)).constData(), header.keyCheck.constData(), size_t(kCheckBytes)) ==
               0;
}

Opened openWithKey(QByteArray file, const KeyPtr& key)
{
    Opened out;
    const ResultWith<Header> header = readHeader(file);
    if (!header.ok) {
        out.reason = header.reason;
        return out;
    }
    if (!key || !keyMatches(*key, header.value)) {
        out.status = Status::WrongPassword;
        return out;
    }
    // Decrypted where it lies, then moved to the front of the same buffer.
    auto* data = reinterpret_cast<unsigned char*>(file.data());
    unsigned char* sealed = data + kHeaderBytes;
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            sealed, &length, nullptr, sealed, size_t(file.size() - kHeaderBytes), data, size_t(kHeaderBytes),
            reinterpret_cast<const unsigned char*>(header.value.nonce.constData()), KeyMaker::encryption(*key)) != 0) {
        out.reason = QStringLiteral("the sealed file is damaged: its contents do not match its seal");
        return out;
    }
    std::memmove(data, sealed, size_t(length));
    file.truncate(qsizetype(length));
    out.classic = std::move(file);
    out.status = Status::Opened;
    out.key = key;
    return out;
}

Opened open(QByteArray file, const QString& password)
{
    const ResultWith<Header> header = readHeader(file);
    if (!header.ok) {
        Opened out;
        out.reason = header.reason;
        return out;
    }
    const ResultWith<KeyPtr> key = keyFor(password, header.value);
    if (!key.ok) {
        Opened out;
        out.reason = key.reason;
        return out;
    }
    return openWithKey(std::move(file), key.value);
}

QByteArray seal(QByteArray classic, const Key& key)
{
    QByteArray nonce(kNonceBytes, '\0');
    randombytes_buf(nonce.data(), size_t(kNonceBytes));
    const QByteArray header = headerBytes(key.params(), key.salt(), checkOf(KeyMaker::check(key)), nonce);
    // Encrypted where it lies, behind room made for the header.
    const qsizetype length = classic.size();
    classic.resize(kHeaderBytes + length + kTagBytes);
    auto* data = reinterpret_cast<unsigned char*>(classic.data());
    std::memmove(data + kHeaderBytes, data, size_t(length));
    std::memcpy(data, header.constData(), size_t(kHeaderBytes));
    unsigned long long sealedLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        data + kHeaderBytes, &sealedLength, data + kHeaderBytes, size_t(length), data, size_t(kHeaderBytes), nullptr,
        reinterpret_cast<const unsigned char*>(nonce.constData()), KeyMaker::encryption(key));
    classic.truncate(kHeaderBytes + qsizetype(sealedLength));
    return classic;
}

} // namespace sealedformat
