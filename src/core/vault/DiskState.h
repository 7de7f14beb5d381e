#pragma once
#include <QByteArray>
#include <QString>

// What a file on disk is, as far as a look at it tells. A file replaced by a rename is another
// file (device and inode); one written in place has another size or times, to the nanosecond
// where the file system keeps them.
struct DiskState {
    enum class Kind { Missing, File, Folder, Other }; // Other: a pipe, a device, a socket
    Kind kind = Kind::Missing;
    bool exists = false; // a regular file is there
    unsigned mode = 0;   // its permission bits
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    QByteArray digest; // of the bytes, when they were read or written

    bool sameFileAs(const DiskState& other) const
    {
        return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
               modifiedNs == other.modifiedNs && changedNs == other.changedNs;
    }

    // Which file this is, the same in every process: a file replaced or written anew has another.
    QByteArray identity() const;

    static DiskState of(const QString& path);
    // Tells this run's own file from any other; fast enough to run over the file at every save.
    // Seeded anew in every process: for comparing within one run only.
    static QByteArray digestOf(QByteArrayView bytes);
};
