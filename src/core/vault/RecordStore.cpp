#include "core/vault/RecordStore.h"

#include "core/vault/VaultStorage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

namespace {

constexpr char kMagic[] = "KHVR\x01\n";
constexpr qsizetype kMagicBytes = 6;
constexpr qsizetype kDigestBytes = 16;
constexpr qsizetype kKeyBytes = crypto_secretbox_KEYBYTES;
constexpr qsizetype kMacBytes = 32;
constexpr qsizetype kMostRecordBytes = qint64(1) << 30; // a record this large is no record of ours

void appendNumber(QByteArray& out, quint64 value, int bytes)
{
    char number[8];
    qToLittleEndian(value, number);
    out.append(number, bytes);
}

// Reads the buffer front to back; reading past its end marks it bad.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}
    QByteArrayView take(qsizetype n)
    {
        if (n < 0 || m_at + n > m_bytes.size()) {
            m_bad = true;
            return {};
        }
        const QByteArrayView out = m_bytes.sliced(m_at, n);
        m_at += n;
        return out;
    }
    quint64 number(int bytes)
    {
        const QByteArrayView b = take(bytes);
        quint64 value = 0;
        for (int i = 0; i < b.size(); ++i)
            value |= quint64(quint8(b[i])) << (8 * i);
        return value;
    }
    bool bad() const { return m_bad; }
    bool done() const { return m_at == m_bytes.size(); }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_bad = false;
};

QByteArray keyedHash(QByteArrayView bytes, const QByteArray& key, qsizetype size)
{
    QByteArray out(size, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(out.data()), size_t(size),
                       reinterpret_cast<const unsigned char*>(bytes.data()), size_t(bytes.size()),
                       reinterpret_cast<const unsigned char*>(key.constData()), size_t(key.size()));
    return out;
}

void appendText(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    appendNumber(out, quint64(utf8.size()), 4);
    out += utf8;
}

void appendVersion(QByteArray& out, const copymerge::Version& v)
{
    appendNumber(out, v.entries.size(), 4);
    for (size_t i = 0; i < v.entries.size(); ++i)
        out += v.entries[i] + v.credentials[i];
}

bool readVersion(Reader& in, copymerge::Version& v)
{
    const quint64 n = in.number(4);
    for (quint64 i = 0; i < n && !in.bad(); ++i) {
        v.entries.push_back(in.take(kDigestBytes).toByteArray());
        v.credentials.push_back(in.take(kDigestBytes).toByteArray());
    }
    return !in.bad();
}

QByteArray readSmallFile(const QString& path)
{
    const ResultWith<QByteArray> read = vaultstorage::readAll(path, kMostRecordBytes);
    return read.ok ? read.value : QByteArray();
}

} // namespace

QString RecordStore::defaultFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/keyhaven/versions");
}

RecordStore::RecordStore(QString folder, const QString& vaultPath)
{
    // One record for each data file, whatever path reaches it.
    const QFileInfo info(vaultPath);
    const QString real = info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    const QString name = QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(real), QCryptographicHash::Sha256).toHex().left(32));
    m_start = folder + QLatin1Char('/') + name + QStringLiteral(".start");
    m_log = folder + QLatin1Char('/') + name + QStringLiteral(".written");
    m_digests.entry = [this](const Entry& e) {
        QByteArray bytes("e");
        appendText(bytes, e.username);
        appendText(bytes, e.password);
        appendText(bytes, e.location);
        return keyedHash(bytes, m_key, kDigestBytes);
    };
    m_digests.credential = [this](const Entry& e) {
        QByteArray bytes("c");
        appendText(bytes, e.username);
        appendText(bytes, e.location);
        return keyedHash(bytes, m_key, kDigestBytes);
    };
}

QByteArray RecordStore::wrappingKey() const
{
    if (m_sealKey)
        return sealedformat::subkey(*m_sealKey, "khrecord");
    // A classic vault holds its master password readable anyway.
    QByteArray out(kKeyBytes, '\0');
    const QByteArray secret = QByteArrayLiteral("keyhaven version record\n") + m_master.toUtf8();
    crypto_generichash(reinterpret_cast<unsigned char*>(out.data()), size_t(out.size()),
                       reinterpret_cast<const unsigned char*>(secret.constData()), size_t(secret.size()), nullptr, 0);
    return out;
}

void RecordStore::load(const QString& master, const sealedformat::KeyPtr& key, KeyCache& keys, const BusyReport& busy)
{
    m_master = master;
    m_sealKey = key;
    m_record = VersionRecord();
    m_hadRecord = false;
    m_fileIdentity.clear();
    m_key = QByteArray(kKeyBytes, '\0');
    if (sodium_init() < 0)
        return;
    randombytes_buf(m_key.data(), size_t(m_key.size()));

    const QByteArray bytes = readSmallFile(m_start);
    Reader in(bytes);
    if (bytes.size() < kMagicBytes + kMacBytes || in.take(kMagicBytes) != QByteArrayView(kMagic, kMagicBytes))
        return;
    const quint8 scheme = quint8(in.number(1));
    sealedformat::KeyPtr wrapper;
    if (scheme == 1) {
        sealedformat::Header header;
        header.salt = in.take(crypto_pwhash_SALTBYTES).toByteArray();
        header.params.passes = in.number(8);
        header.params.memoryBytes = in.number(8);
        const sealedformat::Params most = sealedformat::maximumParams();
        const sealedformat::Params least = sealedformat::minimumParams();
        if (in.bad() || header.params.passes > most.passes || header.params.memoryBytes > most.memoryBytes ||
            header.params.passes < least.passes || header.params.memoryBytes < least.memoryBytes)
            return;
        wrapper = key && key->salt() == header.salt && key->params() == header.params
                      ? key
                      : keys.keyFor(master, header, busy).value;
        if (!wrapper)
            return;
    } else if (scheme != 0) {
        return;
    }
    const QByteArrayView nonce = in.take(crypto_secretbox_NONCEBYTES);
    const QByteArrayView box = in.take(kKeyBytes + crypto_secretbox_MACBYTES);
    if (in.bad())
        return;
    QByteArray recordKey(kKeyBytes, '\0');
    {
        const sealedformat::KeyPtr was = m_sealKey;
        m_sealKey = wrapper;
        const QByteArray unwrap = wrappingKey();
        m_sealKey = was;
        if (crypto_secretbox_open_easy(reinterpret_cast<unsigned char*>(recordKey.data()),
                                       reinterpret_cast<const unsigned char*>(box.data()), size_t(box.size()),
                                       reinterpret_cast<const unsigned char*>(nonce.data()),
                                       reinterpret_cast<const unsigned char*>(unwrap.constData())) != 0)
            return; // another master password's
    }
    const QByteArrayView signedPart = QByteArrayView(bytes).first(bytes.size() - kMacBytes);
    if (keyedHash(signedPart, recordKey, kMacBytes) != QByteArrayView(bytes).last(kMacBytes))
        return;
    const quint64 digestSize = in.number(2);
    m_fileIdentity = in.take(qsizetype(digestSize)).toByteArray();
    copymerge::Version start;
    if (!readVersion(in, start) || in.take(kMacBytes).size() != kMacBytes || !in.done())
        return;
    m_key = recordKey;
    m_record.startFrom(std::move(start));
    m_hadRecord = true;

    // The versions written since, as far as they are whole.
    const QByteArray log = readSmallFile(m_log);
    Reader changes(log);
    while (!changes.done()) {
        const quint64 size = changes.number(4);
        const QByteArrayView payload = changes.take(qsizetype(size));
        const QByteArrayView mac = changes.take(kMacBytes);
        if (changes.bad() || keyedHash(payload, m_key, kMacBytes) != mac)
            break;
        Reader p(payload);
        QByteArray digest = p.take(qsizetype(p.number(2))).toByteArray();
        VersionRecord::Change change;
        bool whole = readVersion(p, change.added);
        const quint64 removed = p.number(4);
        for (quint64 i = 0; i < removed && whole && !p.bad(); ++i)
            change.removed.push_back(p.take(kDigestBytes).toByteArray());
        if (!whole || p.bad() || !p.done())
            break;
        m_record.wrote(std::move(change));
        m_fileIdentity = std::move(digest);
    }
    // Kept under what the vault is now.
    if (wrapper != key || (scheme == 1) != bool(key))
        writeStart();
}

void RecordStore::rewrap(const QString& master, const sealedformat::KeyPtr& key)
{
    m_master = master;
    m_sealKey = key;
    if (m_hadRecord || !m_record.empty())
        writeStart();
}

void RecordStore::startFrom(copymerge::Version read, const QByteArray& fileIdentity)
{
    m_record.startFrom(std::move(read));
    m_fileIdentity = fileIdentity;
    m_hadRecord = true;
    ::unlink(QFile::encodeName(m_log).constData());
    writeStart();
}

void RecordStore::wrote(VersionRecord::Change change, const QByteArray& fileIdentity)
{
    m_fileIdentity = fileIdentity;
    if (!m_hadRecord)
        return; // no start to build on: the next reading starts one
    append(change, fileIdentity);
    m_record.wrote(std::move(change));
}

void RecordStore::writeStart()
{
    const QString folder = QFileInfo(m_start).absolutePath();
    if (!QDir().mkpath(folder))
        return;
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QByteArray out(kMagic, kMagicBytes);
    out += char(m_sealKey ? 1 : 0);
    if (m_sealKey) {
        out += m_sealKey->salt();
        appendNumber(out, m_sealKey->params().passes, 8);
        appendNumber(out, m_sealKey->params().memoryBytes, 8);
    }
    QByteArray nonce(crypto_secretbox_NONCEBYTES, '\0');
    randombytes_buf(nonce.data(), size_t(nonce.size()));
    QByteArray box(kKeyBytes + crypto_secretbox_MACBYTES, '\0');
    QByteArray wrap = wrappingKey();
    crypto_secretbox_easy(reinterpret_cast<unsigned char*>(box.data()),
                          reinterpret_cast<const unsigned char*>(m_key.constData()), size_t(m_key.size()),
                          reinterpret_cast<const unsigned char*>(nonce.constData()),
                          reinterpret_cast<const unsigned char*>(wrap.constData()));
    sodium_memzero(wrap.data(), size_t(wrap.size()));
    out += nonce + box;
    appendNumber(out, quint64(m_fileIdentity.size()), 2);
    out += m_fileIdentity;
    appendVersion(out, m_record.start());
    out += keyedHash(out, m_key, kMacBytes);
    vaultstorage::replaceWithNewFile(m_start, out, 0600);
    // The versions written since the start go with it.
    ::unlink(QFile::encodeName(m_log).constData());
    for (const VersionRecord::Change& change : m_record.written())
        append(change, m_fileIdentity);
}

void RecordStore::append(const VersionRecord::Change& change, const QByteArray& fileIdentity)
{
    QByteArray payload;
    appendNumber(payload, quint64(fileIdentity.size()), 2);
    payload += fileIdentity;
    appendVersion(payload, change.added);
    appendNumber(payload, change.removed.size(), 4);
    for (const QByteArray& d : change.removed)
        payload += d;
    QByteArray record;
    appendNumber(record, quint64(payload.size()), 4);
    record += payload + keyedHash(payload, m_key, kMacBytes);
    const int fd =
        ::open(QFile::encodeName(m_log).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    const bool whole = ::write(fd, record.constData(), size_t(record.size())) == record.size();
    ::close(fd);
    if (!whole)
        ::unlink(QFile::encodeName(m_log).constData()); // a torn record would hide the next ones
}
