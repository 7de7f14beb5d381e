#include "core/vault/DiskState.h"

#include <QFile>
#include <QHashFunctions>
#include <sys/stat.h>

DiskState DiskState::of(const QString& path)
{
    DiskState state;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return state;
    state.kind = S_ISREG(st.st_mode) ? Kind::File : S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
    if (state.kind != Kind::File)
        return state;
    state.exists = true;
    state.mode = st.st_mode & 07777;
    state.device = st.st_dev;
    state.inode = st.st_ino;
    state.size = st.st_size;
    state.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    state.changedNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return state;
}

QByteArray DiskState::identity() const
{
    if (!exists)
        return {};
    return QByteArray::number(device) + ':' + QByteArray::number(inode) + ':' + QByteArray::number(size) + ':' +
           QByteArray::number(modifiedNs);
}

bool DiskState::timesToTheNanosecond() const
{
    return modifiedNs % 1'000'000'000 != 0 || changedNs % 1'000'000'000 != 0;
}

namespace {

quint64 mix(quint64 hash, quint64 piece, qint64 size)
{
    return (hash ^ piece ^ (quint64(size) << 1)) * 0x9E3779B97F4A7C15ull;
}

quint64 hashOf(QByteArrayView piece)
{
    return quint64(qHashBits(piece.data(), size_t(piece.size()), 0x6b68)) ^
           (quint64(qHashBits(piece.data(), size_t(piece.size()), 0x7661756c74)) << 1);
}

} // namespace

void ContentDigest::add(QByteArrayView piece)
{
    if (piece.isEmpty())
        return;
    m_pieces.push_back(piece.size());
    m_hash = mix(m_hash, hashOf(piece), piece.size());
    m_size += piece.size();
    m_known = true;
}

ContentDigest ContentDigest::of(QByteArrayView whole)
{
    ContentDigest d;
    d.add(whole);
    d.m_known = true;
    return d;
}

bool ContentDigest::matches(QByteArrayView whole) const
{
    if (!m_known || whole.size() != m_size)
        return false;
    quint64 hash = 0;
    qint64 at = 0;
    for (const qint64 size : m_pieces) {
        hash = mix(hash, hashOf(whole.sliced(at, size)), size);
        at += size;
    }
    return hash == m_hash;
}
