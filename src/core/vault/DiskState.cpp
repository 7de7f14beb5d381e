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

QByteArray DiskState::digestOf(QByteArrayView bytes)
{
    QByteArray print;
    for (const size_t seed : {size_t(0x6b68), size_t(0x7661756c74)})
        print += QByteArray::number(quint64(qHashBits(bytes.data(), size_t(bytes.size()), seed)), 16) + ':';
    return print + QByteArray::number(bytes.size());
}
