#pragma once
#include "core/platform/Result.h"
#include "core/vault/Entry.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

// The bytes of data.enc: CR LF lines, each scrambled by the line cipher.
// Line 1 is the master password, then one entry a line as username|||password|||location.
namespace vaultformat {

inline constexpr char kSeparator[] = "|||";

struct Contents {
    QString firstLine;          // deciphered line 1
    std::vector<Entry> entries; // the entry lines, in file order
    int damagedLines = 0;       // entry lines with fewer than two separators
};

// Reads the whole file: a line ends at CR, one LF right after it is skipped, any other LF
// belongs to the line; empty and single-blank entry lines are skipped.
Contents parse(QByteArrayView bytes);

// Where one entry's fields lie in the file's bytes, still enciphered: the username starts at
// start, each later field 3 bytes (a separator) after the end of the one before.
struct EntrySpan {
    qint64 start = 0;
    quint32 sizes[3] = {0, 0, 0}; // username, password, location
};

// Memory for rows that are written as soon as there is room for them: a list grown or sized by
// it leaves the new rows as the memory held them, rather than clearing them first (a file of a
// million lines would otherwise be cleared once more than it is read).
template <class T>
struct UnclearedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UnclearedAllocator<U>;
    };
    UnclearedAllocator() = default;
    template <class U>
    UnclearedAllocator(const UnclearedAllocator<U>& /*other*/) noexcept
    {
    }
    template <class U>
    void construct(U* /*at*/) noexcept
    {
        static_assert(std::is_trivially_copyable_v<U> && std::is_trivially_destructible_v<U>);
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args)
    {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};
using SpanList = std::vector<EntrySpan, UnclearedAllocator<EntrySpan>>;

// The same reading without making a string per field: the file's bytes are kept as they are
// and each entry is a span of them, deciphered when shown. A line whose field would not fit a
// span is returned as an Entry in oversized, its span's start being its index there.
struct FileLines {
    QString firstLine;
    QByteArray bytes;
    SpanList spans;
    std::vector<Entry> oversized;
    int damagedLines = 0;
    qint64 spanBytes = 0; // what the spans' lines take when written, line ends included
};
inline constexpr quint32 kOversized = 0xFFFFFFFFu; // sizes[0] of a span that stands for an Entry

inline constexpr qsizetype kLineEndBytes = 2;   // CR LF
inline constexpr qsizetype kSeparatorBytes = 3; // |||

// The bytes an entry's line takes in the file: its fields, two separators and the line end.
// (A character of the code page takes one byte, so a text's size is its size in bytes.)
inline constexpr qsizetype lineBytes(qsizetype username, qsizetype password, qsizetype location)
{
    return username + password + location + 2 * kSeparatorBytes + kLineEndBytes;
}
inline qsizetype lineBytes(const EntrySpan& span)
{
    return lineBytes(span.sizes[0], span.sizes[1], span.sizes[2]);
}
inline qsizetype lineBytes(const Entry& entry)
{
    return lineBytes(entry.username.size(), entry.password.size(), entry.location.size());
}
FileLines readLines(QByteArray bytes);
// The file is marked and its lines read this many bytes at a time.
inline constexpr qsizetype kReadBlockBytes = qsizetype(16) << 10;

// Where one field (0 username, 1 password, 2 location) of a span starts. Added up in 64 bits: the
// fields of one line may together pass 4 GiB.
inline qint64 spanFieldStart(const EntrySpan& span, int field)
{
    qint64 at = span.start;
    for (int i = 0; i < field; ++i)
        at += qint64(span.sizes[i]) + kSeparatorBytes;
    return at;
}

// The enciphered bytes of one field of a span.
inline QByteArrayView spanField(const QByteArray& bytes, const EntrySpan& span, int field)
{
    if (span.sizes[field] == 0)
        return {};
    return QByteArrayView(bytes.constData() + spanFieldStart(span, field), span.sizes[field]);
}

inline constexpr char kStoredSeparator[] = "\xFC\xFC\xFC"; // the separator as the file has it

// Enciphered bytes to text, and text to enciphered bytes; the latter fails when a character has
// no byte.
QString decipheredText(QByteArrayView bytes);
ResultWith<QByteArray> encipheredBytes(QStringView text);

// Deciphered line 1 only.
QString firstLine(QByteArrayView bytes);

// The three shapes of file the program writes.
QByteArray emptyFile();                         // CR LF
QByteArray passwordOnly(const QString& master); // E(master) CR LF

// How many separators the line of these enciphered fields is written with: 2, or fewer for a
// damaged line whose last field ends in a bar, so that it reads back as it was read.
int separatorsFor(QByteArrayView username, QByteArrayView password, QByteArrayView location);

// Writes a full file entry by entry, in pieces handed to a sink: lines are gathered in a buffer of
// its own, reused and never the file's size, and long runs of lines go as they lie in memory.
class FileWriter {
public:
    // Takes the next piece of the file; false when it could not be written.
    using Sink = std::function<bool(QByteArrayView piece)>;

    FileWriter(const QString& master, Sink sink);
    explicit FileWriter(Sink sink); // lines only, without the master password's line
    void add(const Entry& entry);
    void add(QByteArrayView username, QByteArrayView password, QByteArrayView location); // enciphered
    void addLines(QByteArrayView lines);   // as the file has them, without the last line's end
    void addWritten(QByteArrayView lines); // lines another writer made, each with its end
    // Whatever is gathered, without a last line end: whether the sink took every piece.
    bool sendGathered();
    // The last line end, and whatever is gathered: whether the sink took every piece.
    bool finish();

    static constexpr qsizetype kGatherBytes = qsizetype(1) << 20;
    static constexpr qsizetype kWrittenWhereTheyLie = qsizetype(64) << 10;

private:
    char* room(qsizetype bytes);
    void flush();

    Sink m_sink;
    QByteArray m_buffer; // m_used bytes of it gathered
    qsizetype m_used = 0;
    bool m_ok = true;
};

} // namespace vaultformat
