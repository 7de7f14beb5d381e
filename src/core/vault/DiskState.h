#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

// What a file's bytes were, to tell this run's own file from any other: a fast hash (XXH3) of each
// piece they were read or written in, so that it is made as they go, without a copy of them all.
// For comparing within one run only.
class ContentDigest {
public:
    void add(QByteArrayView piece);
    // The pieces of more, after these: a file read in parts on several threads.
    void append(const ContentDigest& more);
    static ContentDigest of(QByteArrayView whole);
    // Whether these bytes, cut where the pieces were, hash alike.
    bool matches(QByteArrayView whole) const;
    bool known() const { return m_known; }

private:
    struct Piece {
        qint64 size = 0;
        quint64 hash = 0;
    };
    std::vector<Piece> m_pieces;
    qint64 m_size = 0;
    bool m_known = false;
};

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
    ContentDigest digest; // of the bytes, when they were read or written

    bool sameFileAs(const DiskState& other) const
    {
        return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
               modifiedNs == other.modifiedNs && changedNs == other.changedNs;
    }

    // Which file this is, the same in every process: a file replaced or written anew has another.
    QByteArray identity() const;
    // Whether its times show nanoseconds, so that a write within the same moment as the last one
    // still shows in them (file systems that keep whole seconds do not).
    bool timesToTheNanosecond() const;

    static DiskState of(const QString& path);
};
