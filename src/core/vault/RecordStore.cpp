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

constexpr char kMagic[] = "KHVR\x02\n";
constexpr qsizetype kMagicBytes = 6;
constexpr qsizetype kDigestBytes = 16;
constexpr qsizetype kKeyBytes = crypto_secretbox_KEYBYTES;
constexpr qsizetype kMacBytes = 32;
constexpr qsizetype kHeadBytes = 4096;                  // more than the head ever takes
constexpr qsizetype kMostRecordBytes = qint64(1) << 30; // a record this large is no record of ours
constexpr size_t kDigestsAPiece = 65536;                // digests written at a time

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
    qsizetype at() const { return m_at; }

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

copymerge::Digest digestOf(const QByteArray& bytes, const QByteArray& key)
{
    return copymerge::Digest::of(keyedHash(bytes, key, kDigestBytes));
}

void appendDigests(QByteArray& out, const copymerge::Version& v, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        out += v.entries[i].bytes() + v.credentials[i].bytes();
}

bool readVersion(Reader& in, copymerge::Version& v)
{
    const quint64 n = in.number(4);
    for (quint64 i = 0; i < n && !in.bad(); ++i) {
        v.entries.push_back(copymerge::Digest::of(in.take(kDigestBytes)));
        v.credentials.push_back(copymerge::Digest::of(in.take(kDigestBytes)));
    }
    return !in.bad();
}

QByteArray readFile(const QString& path, qint64 most)
{
    const ResultWith<QByteArray> read = vaultstorage::readAll(path, most);
    return read.ok ? read.value : QByteArray();
}

QByteArray readHead(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(kHeadBytes) : QByteArray();
}

} // namespace

QString RecordStore::defaultFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/keyhaven/versions");
}

RecordStore::RecordStore(const QString& folder, const QString& vaultPath)
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
        return digestOf(bytes, m_key);
    };
    m_digests.credential = [this](const Entry& e) {
        QByteArray bytes("c");
        appendText(bytes, e.username);
        appendText(bytes, e.location);
        return digestOf(bytes, m_key);
    };
}

QByteArray RecordStore::wrappingKey(const sealedformat::KeyPtr& sealKey) const
{
    if (sealKey)
        return sealedformat::subkey(*sealKey, "khrecord");
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
    m_logged.clear();
    m_hadRecord = false;
    m_startRead = true;
    m_fileIdentity.clear();
    m_key = QByteArray(kKeyBytes, '\0');
    if (sodium_init() < 0)
        return;
    randombytes_buf(m_key.data(), size_t(m_key.size()));

    const QByteArray head = readHead(m_start);
    Reader in(head);
    if (in.take(kMagicBytes) != QByteArrayView(kMagic, kMagicBytes))
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
    const QByteArray identity = in.take(qsizetype(in.number(2))).toByteArray();
    if (in.bad())
        return;
    QByteArray recordKey(kKeyBytes, '\0');
    const QByteArray unwrap = wrappingKey(wrapper);
    if (crypto_secretbox_open_easy(reinterpret_cast<unsigned char*>(recordKey.data()),
                                   reinterpret_cast<const unsigned char*>(box.data()), size_t(box.size()),
                                   reinterpret_cast<const unsigned char*>(nonce.data()),
                                   reinterpret_cast<const unsigned char*>(unwrap.constData())) != 0)
        return; // another master password's
    m_key = recordKey;
    m_fileIdentity = identity;
    m_hadRecord = true;
    m_startRead = false;

    // The versions written since, as far as they are whole.
    const QByteArray log = readFile(m_log, kMostRecordBytes);
    Reader changes(log);
    while (!changes.done()) {
        const quint64 size = changes.number(4);
        const QByteArrayView payload = changes.take(qsizetype(size));
        const QByteArrayView mac = changes.take(kMacBytes);
        if (changes.bad() || keyedHash(payload, m_key, kMacBytes) != mac)
            break;
        Reader p(payload);
        QByteArray fileIdentity = p.take(qsizetype(p.number(2))).toByteArray();
        VersionRecord::Change change;
        const bool whole = readVersion(p, change.added);
        const quint64 removed = p.number(4);
        for (quint64 i = 0; i < removed && whole && !p.bad(); ++i)
            change.removed.push_back(copymerge::Digest::of(p.take(kDigestBytes)));
        if (!whole || p.bad() || !p.done())
            break;
        m_logged.push_back(std::move(change));
        m_fileIdentity = std::move(fileIdentity);
    }
    // Kept under what the vault is now.
    if (wrapper != key)
        rewrap(master, key);
}

const VersionRecord& RecordStore::record()
{
    if (!m_startRead)
        readStart();
    return m_record;
}

void RecordStore::readStart()
{
    m_startRead = true;
    const QByteArray bytes = readFile(m_start, kMostRecordBytes);
    const auto forget = [this] {
        // Damaged, or changed by someone without the key: no record.
        m_record = VersionRecord();
        m_logged.clear();
        m_hadRecord = false;
    };
    if (bytes.size() < kMacBytes || keyedHash(QByteArrayView(bytes).first(bytes.size() - kMacBytes), m_key,
                                              kMacBytes) != QByteArrayView(bytes).last(kMacBytes))
        return forget();
    Reader in(QByteArrayView(bytes).first(bytes.size() - kMacBytes));
    in.take(kMagicBytes);
    if (in.number(1) == 1)
        in.take(crypto_pwhash_SALTBYTES + 16);
    in.take(crypto_secretbox_NONCEBYTES + kKeyBytes + crypto_secretbox_MACBYTES);
    in.take(qsizetype(in.number(2)));
    copymerge::Version start;
    if (!readVersion(in, start) || !in.done())
        return forget();
    m_record.startFrom(std::move(start));
    for (VersionRecord::Change& change : m_logged)
        m_record.wrote(std::move(change));
    m_logged.clear();
}

void RecordStore::rewrap(const QString& master, const sealedformat::KeyPtr& key)
{
    m_master = master;
    m_sealKey = key;
    if (!m_hadRecord)
        return;
    record();
    if (m_hadRecord)
        writeStart();
}

void RecordStore::startFrom(copymerge::Version read, const QByteArray& fileIdentity)
{
    m_record.startFrom(std::move(read));
    m_logged.clear();
    m_startRead = true;
    m_fileIdentity = fileIdentity;
    m_hadRecord = true;
    writeStart();
}

void RecordStore::wrote(VersionRecord::Change change, const QByteArray& fileIdentity)
{
    m_fileIdentity = fileIdentity;
    if (!m_hadRecord)
        return; // no start to build on: the next reading starts one
    append(change, fileIdentity);
    if (m_startRead)
        m_record.wrote(std::move(change));
    else
        m_logged.push_back(std::move(change));
}

void RecordStore::writeStart()
{
    const QString folder = QFileInfo(m_start).absolutePath();
    if (!QDir().mkpath(folder))
        return;
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QByteArray head(kMagic, kMagicBytes);
    head += char(m_sealKey ? 1 : 0);
    if (m_sealKey) {
        head += m_sealKey->salt();
        appendNumber(head, m_sealKey->params().passes, 8);
        appendNumber(head, m_sealKey->params().memoryBytes, 8);
    }
    QByteArray nonce(crypto_secretbox_NONCEBYTES, '\0');
    randombytes_buf(nonce.data(), size_t(nonce.size()));
    QByteArray box(kKeyBytes + crypto_secretbox_MACBYTES, '\0');
    QByteArray wrap = wrappingKey(m_sealKey);
    crypto_secretbox_easy(reinterpret_cast<unsigned char*>(box.data()),
                          reinterpret_cast<const unsigned char*>(m_key.constData()), size_t(m_key.size()),
                          reinterpret_cast<const unsigned char*>(nonce.constData()),
                          reinterpret_cast<const unsigned char*>(wrap.constData()));
    sodium_memzero(wrap.data(), size_t(wrap.size()));
    head += nonce + box;
    appendNumber(head, quint64(m_fileIdentity.size()), 2);
    head += m_fileIdentity;
    const copymerge::Version& start = m_record.start();
    appendNumber(head, start.entries.size(), 4);
    // Written in pieces, the keyed hash over all of them made as they go.
    crypto_generichash_state mac;
    crypto_generichash_init(&mac, reinterpret_cast<const unsigned char*>(m_key.constData()), size_t(m_key.size()),
                            size_t(kMacBytes));
    vaultstorage::saveAtomically(m_start, [&](const vaultstorage::Sink& sink) {
        const auto piece = [&](const QByteArray& bytes) {
            crypto_generichash_update(&mac, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                      size_t(bytes.size()));
            return sink(bytes);
        };
        bool ok = piece(head);
        for (size_t from = 0; ok && from < start.entries.size(); from += kDigestsAPiece) {
            QByteArray digests;
            appendDigests(digests, start, from, std::min(start.entries.size(), from + kDigestsAPiece));
            ok = piece(digests);
        }
        QByteArray tag(kMacBytes, '\0');
        crypto_generichash_final(&mac, reinterpret_cast<unsigned char*>(tag.data()), size_t(tag.size()));
        return ok && sink(tag);
    });
    QFile::setPermissions(m_start, QFile::ReadOwner | QFile::WriteOwner);
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
    appendNumber(payload, change.added.entries.size(), 4);
    appendDigests(payload, change.added, 0, change.added.entries.size());
    appendNumber(payload, change.removed.size(), 4);
    for (const copymerge::Digest& d : change.removed)
        payload += d.bytes();
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
