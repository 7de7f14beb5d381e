#include "core/vault/DiskState.h"

#include "core/platform/InParallel.h"

#include <QFile>
#include <sys/stat.h>
#include <xxhash.h>
// The widest vector unit this processor has.
#include <xxh_x86dispatch.h>

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

quint64 hashOf(QByteArrayView piece)
{
    return XXH3_64bits(piece.data(), size_t(piece.size()));
}

// From this size on, a file's pieces are hashed on two threads, a half of its bytes each.
constexpr qint64 kHalvesFrom = qint64(1) << 20;

} // namespace

void ContentDigest::add(QByteArrayView piece)
{
    m_known = true; // of what was added so far, if only nothing
    if (piece.isEmpty())
        return;
    m_pieces.push_back({piece.size(), hashOf(piece)});
    m_size += piece.size();
}

void ContentDigest::append(const ContentDigest& more)
{
    m_pieces.insert(m_pieces.end(), more.m_pieces.begin(), more.m_pieces.end());
    m_size += more.m_size;
    m_known = m_known || more.m_known;
}

ContentDigest ContentDigest::of(QByteArrayView whole)
{
    ContentDigest d;
    d.m_known = true;
    d.m_size = whole.size();
    if (whole.size() >= kHalvesFrom) {
        const qint64 half = whole.size() / 2;
        d.m_pieces = {{half, 0}, {whole.size() - half, 0}};
        inParallel([&] { d.m_pieces[0].hash = hashOf(whole.first(half)); },
                   [&] { d.m_pieces[1].hash = hashOf(whole.sliced(half)); });
    } else if (!whole.isEmpty()) {
        d.m_pieces = {{whole.size(), hashOf(whole)}};
    }
    return d;
}

bool ContentDigest::matches(QByteArrayView whole) const
{
    if (!m_known || whole.size() != m_size)
        return false;
    // Whether the pieces [from, to) match, those starting at the byte at.
    const auto piecesMatch = [&](size_t from, size_t to, qint64 at) {
        for (size_t i = from; i < to; at += m_pieces[i].size, ++i) {
            if (hashOf(whole.sliced(at, m_pieces[i].size)) != m_pieces[i].hash)
                return false;
        }
        return true;
    };
    if (m_size < kHalvesFrom)
        return piecesMatch(0, m_pieces.size(), 0);
    // The second thread takes the pieces from the one holding the middle byte on.
    size_t middle = 0;
    qint64 middleAt = 0;
    while (middleAt + m_pieces[middle].size <= m_size / 2)
        middleAt += m_pieces[middle++].size;
    bool first = false;
    bool second = false;
    inParallel([&] { first = piecesMatch(0, middle, 0); },
               [&] { second = piecesMatch(middle, m_pieces.size(), middleAt); });
    return first && second;
}
