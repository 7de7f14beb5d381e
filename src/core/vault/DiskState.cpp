#include "core/vault/DiskState.h"

#include "core/platform/InParallel.h"

#include <QFile>
#include <sys/stat.h>
#include <xxhash.h>

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
    return XXH3_64bits(piece.data(), size_t(piece.size()));
}

// A file read whole is hashed in two halves, one on each of two threads.
constexpr qint64 kHalvesFrom = qint64(1) << 20;

// The hash of whole, cut into the pieces given.
quint64 hashOfPieces(QByteArrayView whole, const std::vector<qint64>& pieces)
{
    if (pieces.size() == 2 && whole.size() >= kHalvesFrom) {
        quint64 first = 0;
        quint64 second = 0;
        inParallel([&] { first = hashOf(whole.first(pieces[0])); }, [&] { second = hashOf(whole.sliced(pieces[0])); });
        return mix(mix(0, first, pieces[0]), second, pieces[1]);
    }
    quint64 hash = 0;
    qint64 at = 0;
    for (const qint64 size : pieces) {
        hash = mix(hash, hashOf(whole.sliced(at, size)), size);
        at += size;
    }
    return hash;
}

} // namespace

void ContentDigest::add(QByteArrayView piece)
{
    m_known = true; // of what was added so far, if only nothing
    if (piece.isEmpty())
        return;
    m_pieces.push_back(piece.size());
    m_hash = mix(m_hash, hashOf(piece), piece.size());
    m_size += piece.size();
}

ContentDigest ContentDigest::of(QByteArrayView whole)
{
    ContentDigest d;
    if (whole.size() >= kHalvesFrom)
        d.m_pieces = {whole.size() / 2, whole.size() - whole.size() / 2};
    else if (!whole.isEmpty())
        d.m_pieces = {whole.size()};
    d.m_hash = hashOfPieces(whole, d.m_pieces);
    d.m_size = whole.size();
    d.m_known = true;
    return d;
}

bool ContentDigest::matches(QByteArrayView whole) const
{
    return m_known && whole.size() == m_size && hashOfPieces(whole, m_pieces) == m_hash;
}
