#include "core/vault/VaultFormat.h"

#include "core/platform/CodePage.h"
#include "core/platform/InParallel.h"
#include "core/vault/LineCipher.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define KEYHAVEN_X86_KERNELS
#endif

// Reading a large file is mostly bit work on masks: where the processor has the newer
// instructions (shifts by a variable count in one step, among others), a second build of
// those functions is chosen when the program starts.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
#define KEYHAVEN_NEWER_X86 __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KEYHAVEN_NEWER_X86
#endif

namespace vaultformat {
namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr char kCipheredBar = static_cast<char>('|' ^ 0x80);

// Windows-1252 character of each enciphered byte, so a field deciphers in one pass.
const std::array<char16_t, 256>& decipherTable()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const char plain = static_cast<char>(b ^ 0x80);
            t[b] = codepage::decode(QByteArrayView(&plain, 1)).at(0).unicode();
        }
        return t;
    }();
    return table;
}

QString decipher(const char* data, qsizetype size)
{
    const auto& table = decipherTable();
    QString text(size, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < size; ++i)
        out[i] = table[static_cast<unsigned char>(data[i])];
    return text;
}

const char* findSeparator(const char* from, const char* end)
{
    while (end - from >= 3) {
        const void* hit = std::memchr(from, kCipheredBar, end - from - 2);
        if (!hit)
            return nullptr;
        const char* p = static_cast<const char*>(hit);
        if (p[1] == kCipheredBar && p[2] == kCipheredBar)
            return p;
        from = p + 1;
    }
    return nullptr;
}

// Calls visit(begin, end) for each line; stops when visit returns false.
template <class Visit>
void forEachLine(QByteArrayView bytes, Visit visit)
{
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        const void* hit = std::memchr(p, kCR, end - p);
        const char* lineEnd = hit ? static_cast<const char*>(hit) : end;
        if (!visit(p, lineEnd))
            return;
        p = lineEnd;
        if (p < end) {
            ++p; // the CR
            if (p < end && *p == kLF)
                ++p;
        }
    }
}

// The ends of runs of three bars among a word's bars, the word before's bars given.
inline quint64 tripleEndsOf(quint64 bars, quint64 previousBars)
{
    return bars & ((bars << 1) | (previousBars >> 63)) & ((bars << 2) | (previousBars >> 62));
}

// Marks words [0, words) of data, each of 64 whole bytes, carrying the bars of the word before
// in previousBars; returns the number of line ends. One build for each instruction set, as
// marking is most of the work of reading a large file and the widest compares do it in a few
// instructions a word.
qsizetype markWordsPlain(const char* data, qsizetype words, quint64* lineEnds, quint64* tripleEnds,
                         quint64& previousBars)
{
    qsizetype count = 0;
#ifdef __SSE2__
    // Line ends are counted in byte lanes, emptied before they could overflow.
    __m128i counts = _mm_setzero_si128();
    const auto emptyCounts = [&] {
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        count += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
        counts = _mm_setzero_si128();
    };
#endif
    for (qsizetype w = 0; w < words; ++w) {
        const char* bytes = data + 64 * w;
        quint64 ends = 0;
        quint64 bars = 0;
#ifdef __SSE2__
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + qsizetype(16) * i));
            const __m128i isEnd = _mm_cmpeq_epi8(v, _mm_set1_epi8(kCR));
            counts = _mm_sub_epi8(counts, isEnd);
            ends |= quint64(quint16(_mm_movemask_epi8(isEnd))) << (16 * i);
            bars |= quint64(quint16(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(kCipheredBar))))) << (16 * i);
        }
        if (w % 63 == 62) // four a word and lane, 252 at most
            emptyCounts();
#else
        for (int i = 0; i < 64; ++i) {
            ends |= quint64(bytes[i] == kCR) << i;
            bars |= quint64(bytes[i] == kCipheredBar) << i;
        }
        count += std::popcount(ends);
#endif
        lineEnds[w] = ends;
        tripleEnds[w] = tripleEndsOf(bars, previousBars);
        previousBars = bars;
    }
#ifdef __SSE2__
    emptyCounts();
#endif
    return count;
}

#ifdef KEYHAVEN_X86_KERNELS
__attribute__((target("avx2,popcnt"))) qsizetype markWordsAvx2(const char* data, qsizetype words, quint64* lineEnds,
                                                               quint64* tripleEnds, quint64& previousBars)
{
    const __m256i cr = _mm256_set1_epi8(kCR);
    const __m256i bar = _mm256_set1_epi8(kCipheredBar);
    qsizetype count = 0;
    quint64 previous = previousBars;
    for (qsizetype w = 0; w < words; ++w) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 64 * w));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 64 * w + 32));
        const quint64 ends = quint64(quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, cr)))) |
                             quint64(quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, cr)))) << 32;
        const quint64 bars = quint64(quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, bar)))) |
                             quint64(quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, bar)))) << 32;
        count += _mm_popcnt_u64(ends);
        lineEnds[w] = ends;
        tripleEnds[w] = tripleEndsOf(bars, previous);
        previous = bars;
    }
    previousBars = previous;
    return count;
}

__attribute__((target("avx512f,avx512bw,popcnt"))) qsizetype
markWordsAvx512(const char* data, qsizetype words, quint64* lineEnds, quint64* tripleEnds, quint64& previousBars)
{
    const __m512i cr = _mm512_set1_epi8(kCR);
    const __m512i bar = _mm512_set1_epi8(kCipheredBar);
    qsizetype count = 0;
    quint64 previous = previousBars;
    for (qsizetype w = 0; w < words; ++w) {
        const __m512i v = _mm512_loadu_si512(data + 64 * w);
        const quint64 ends = _mm512_cmpeq_epi8_mask(v, cr);
        const quint64 bars = _mm512_cmpeq_epi8_mask(v, bar);
        count += _mm_popcnt_u64(ends);
        lineEnds[w] = ends;
        tripleEnds[w] = tripleEndsOf(bars, previous);
        previous = bars;
    }
    previousBars = previous;
    return count;
}
#endif

qsizetype markWords(const char* data, qsizetype words, quint64* lineEnds, quint64* tripleEnds, quint64& previousBars)
{
#ifdef KEYHAVEN_X86_KERNELS
    if (__builtin_cpu_supports("avx512bw"))
        return markWordsAvx512(data, words, lineEnds, tripleEnds, previousBars);
    if (__builtin_cpu_supports("avx2"))
        return markWordsAvx2(data, words, lineEnds, tripleEnds, previousBars);
#endif
    return markWordsPlain(data, words, lineEnds, tripleEnds, previousBars);
}

// The 64 bits of a bit array from bit at on.
quint64 bitsFrom(const quint64* bits, qsizetype at)
{
    const int shift = static_cast<int>(at & 63);
    const quint64* word = bits + (at >> 6);
    return (word[0] >> shift) | ((word[1] << 1) << (63 - shift));
}

void appendCiphered(QByteArray& out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char* dst = out.data() + at;
    const char16_t* src = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = src[i];
        const int b = ch < 0x80 ? int(ch) : codepage::byteFor(ch);
        dst[i] = static_cast<char>((b < 0 ? '?' : b) ^ 0x80);
    }
}

void appendLineEnd(QByteArray& out)
{
    out.append(kCR);
    out.append(kLF);
}

} // namespace

QString firstLine(QByteArrayView bytes)
{
    QString line;
    forEachLine(bytes, [&](const char* b, const char* e) {
        line = decipher(b, e - b);
        return false;
    });
    return line;
}

namespace {

// What one stretch of the file holds: its entries are written into the spans given.
struct Stretch {
    bool complete = true; // false: it had no room for all its lines
    qsizetype count = 0;
    std::vector<Entry> oversized;
    int damagedLines = 0;
    qint64 spanBytes = 0;
    QString firstLine;
};

// Reads the lines of data[from, size) into spans from row firstRow on: into room rows at most
// (incomplete when they are too few), or any number when room is kFreeRoom, the list resized to
// end with them. The first line is the master password where the stretch starts the file, else
// an entry like the others. The stretch is marked and read a block at a time, so that a block's
// bytes and marks are still in the processor's nearest cache when its lines are read.
constexpr qsizetype kFreeRoom = -1;
KEYHAVEN_NEWER_X86 Stretch readStretch(const char* data, qsizetype from, qsizetype size, SpanList& spans,
                                       qsizetype firstRow, qsizetype room)
{
    constexpr qsizetype kBlockWords = kReadBlockBytes / 64;
    // One bit per byte of the block marking each line end and each place where a run of three
    // enciphered bars ends (bit i of word w stands for byte 64 * w + i of the block); two spare
    // words, so that a window of 64 bits may start anywhere in the block.
    std::array<quint64, kBlockWords + 2> lineEnds{};
    std::array<quint64, kBlockWords + 2> tripleEnds{};
    Stretch part;
    const auto lineAfter = [&](qsizetype crAt) {
        return crAt + 1 + (crAt + 1 < size && data[std::min(crAt + 1, size - 1)] == kLF);
    };
    int damagedLines = 0;
    // Any line but username|||password|||location of usual length, as a span (false for empty and
    // single-blank lines, which are skipped); missing separators leave the later fields empty. It
    // holds no counter of the loop below, which stay in registers.
    const auto otherLine = [&](qsizetype b, qsizetype e, EntrySpan& span) {
        if (b == e || (e - b == 1 && data[b] == ' '))
            return false;
        const char* end = data + e;
        const char* one = findSeparator(data + b, end);
        const char* two = one ? findSeparator(one + 3, end) : nullptr;
        if (!two)
            ++damagedLines;
        const char* starts[3] = {data + b, one ? one + 3 : end, two ? two + 3 : end};
        const char* ends[3] = {one ? one : end, two ? two : end, end};
        span.start = b;
        bool fits = true;
        for (int i = 0; i < 3; ++i) {
            const qsizetype n = ends[i] - starts[i];
            fits = fits && n < kOversized;
            span.sizes[i] = static_cast<quint32>(n);
        }
        if (!fits) {
            Entry entry;
            entry.username = decipheredText(QByteArrayView(starts[0], ends[0]));
            entry.password = decipheredText(QByteArrayView(starts[1], ends[1]));
            entry.location = decipheredText(QByteArrayView(starts[2], ends[2]));
            span = EntrySpan{static_cast<qint64>(part.oversized.size()), {kOversized, 0, 0}};
            part.oversized.push_back(std::move(entry));
        }
        return true;
    };
    // Kept here, not in part, which the spans written could alias.
    qsizetype count = 0;
    qint64 spanBytes = 0;
    bool masterLine = from == 0;
    qsizetype lineBegin = from;
    quint64 previousBars = 0;
    for (qsizetype block = from; block < size; block += 64 * kBlockWords) {
        const qsizetype blockBytes = std::min(size - block, 64 * kBlockWords);
        const qsizetype whole = blockBytes / 64;
        const qsizetype words = (blockBytes + 63) / 64;
        qsizetype ends = markWords(data + block, whole, lineEnds.data(), tripleEnds.data(), previousBars);
        if (whole < words) {
            char tail[64] = {}; // zeros: neither a line end nor a bar
            std::memcpy(tail, data + block + 64 * whole, size_t(blockBytes - 64 * whole));
            ends += markWordsPlain(tail, 1, lineEnds.data() + whole, tripleEnds.data() + whole, previousBars);
        }
        lineEnds[words] = lineEnds[words + 1] = tripleEnds[words] = tripleEnds[words + 1] = 0;
        const qsizetype needed = count + ends + 1; // a spare slot, for the word after the last end
        if (room == kFreeRoom && spans.size() < size_t(firstRow + needed)) {
            spans.resize(size_t(firstRow + needed));
        } else if (room != kFreeRoom && needed > room) {
            part.complete = false;
            return part;
        }
        // The line ends' places first, into the slots: two taken from each word whatever it
        // holds, as lines of random length would otherwise cost a mispredicted branch each.
        EntrySpan* const out = spans.data() + firstRow; // not through the vector, which calls below could change
        EntrySpan* const places = out + count;
        for (qsizetype w = 0, n = 0; w < words; ++w) {
            const quint64 one = lineEnds[w];
            const quint64 two = one & (one - 1);
            const qsizetype at = block + 64 * w;
            places[n].start = at + std::countr_zero(one);
            n += one != 0;
            places[n].start = at + std::countr_zero(two);
            n += two != 0;
            for (quint64 more = two & (two - 1); more != 0; more &= more - 1)
                places[n++].start = at + std::countr_zero(more);
        }
        // Then each line: the leftmost three bars, then the leftmost three starting after them,
        // both looked for in the 64 bits of the block's marks from where they may start; a line
        // whose separators are not found there, or lie past its end, takes the long way, as does
        // one starting before the block. Entries are written over the line ends already read.
        for (qsizetype k = 0; k < ends; ++k) {
            const qsizetype at = places[k].start;
            if (masterLine) {
                part.firstLine = decipheredText(QByteArrayView(data + lineBegin, data + at));
                masterLine = false;
                lineBegin = lineAfter(at);
                continue;
            }
            const qsizetype window = std::min(lineBegin + 2, size) - block;
            const quint64 first = window >= 0 ? bitsFrom(tripleEnds.data(), window) : 0;
            const qsizetype firstEnd = block + window + std::countr_zero(first);
            const qsizetype after = std::min(firstEnd + 3, size);
            // Held within the block's marks and spare words: where first is empty, after is past them.
            const quint64 second = bitsFrom(tripleEnds.data(), std::clamp<qsizetype>(after - block, 0, 64 * words));
            const qsizetype secondEnd = after + std::countr_zero(second);
            if (first != 0 && second != 0 && secondEnd < at && at - lineBegin < kOversized) {
                out[count++] = {lineBegin,
                                {quint32(firstEnd - 2 - lineBegin), quint32(secondEnd - firstEnd - 3),
                                 quint32(at - secondEnd - 1)}};
                spanBytes += at - lineBegin + kLineEndBytes; // the fields and both separators, then CR LF
            } else {
                EntrySpan span;
                if (otherLine(lineBegin, at, span)) {
                    if (span.sizes[0] != kOversized)
                        spanBytes += lineBytes(span);
                    out[count++] = span;
                }
            }
            lineBegin = lineAfter(at);
        }
    }
    // A last line without a line end.
    if (masterLine) {
        part.firstLine = decipheredText(QByteArrayView(data + lineBegin, data + size));
    } else if (lineBegin < size) {
        EntrySpan span;
        if (otherLine(lineBegin, size, span)) {
            if (span.sizes[0] != kOversized)
                spanBytes += lineBytes(span);
            spans[size_t(firstRow + count++)] = span; // in the spare slot
        }
    }
    if (room == kFreeRoom)
        spans.resize(size_t(firstRow + count));
    part.count = count;
    part.spanBytes = spanBytes;
    part.damagedLines = damagedLines;
    return part;
}

// From this size on a file is read in two stretches, one on each of two threads.
constexpr qsizetype kTwoThreadsFrom = qsizetype(1) << 20;

// Where the second stretch starts: right after the first line end from the middle on (after its
// LF, where one follows), or the file's end when there is none.
qsizetype secondStretchAt(const char* data, qsizetype size)
{
    if (size < kTwoThreadsFrom)
        return size;
    const void* cr = std::memchr(data + size / 2, kCR, size_t(size - size / 2));
    if (!cr)
        return size;
    const qsizetype at = static_cast<const char*>(cr) - data + 1;
    return at + (at < size && data[at] == kLF);
}

// A guess at how many lines data[from, size) holds, from those in its first bytes, a little
// high: the room for them is taken at once, and in the same place as at the last load.
qsizetype expectedLines(const char* data, qsizetype from, qsizetype size)
{
    constexpr qsizetype kSampleBytes = qsizetype(64) << 10;
    const qsizetype sample = std::min(size - from, kSampleBytes);
    const qsizetype found = std::count(data + from, data + from + sample, kCR);
    return qsizetype(double(found + 1) * double(size - from) / double(std::max<qsizetype>(sample, 1)) * 1.125) + 64;
}

} // namespace

FileLines readLines(QByteArray bytes)
{
    FileLines file;
    const char* const data = bytes.constData();
    const qsizetype size = bytes.size();
    const qsizetype cut = secondStretchAt(data, size);
    Stretch one;
    Stretch two;
    if (cut < size) {
        // One thread for each stretch: starting a thread costs about as much as reading a few
        // thousand lines, so it is done once. Each writes into its own part of the list, of the
        // size guessed; the second's rows are then moved up behind the first's. Where a guess was
        // short, the file is read again on this thread.
        const qsizetype firstRoom = expectedLines(data, 0, cut);
        const qsizetype secondRoom = expectedLines(data, cut, size);
        file.spans.resize(size_t(firstRoom + secondRoom));
        inParallel([&] { one = readStretch(data, 0, cut, file.spans, 0, firstRoom); },
                   [&] { two = readStretch(data, cut, size, file.spans, firstRoom, secondRoom); });
        if (one.complete && two.complete) {
            std::memmove(static_cast<void*>(file.spans.data() + one.count), file.spans.data() + firstRoom,
                         size_t(two.count) * sizeof(EntrySpan));
            file.spans.resize(size_t(one.count + two.count));
        } else {
            file.spans.clear();
            one = readStretch(data, 0, size, file.spans, 0, kFreeRoom);
            two = Stretch();
        }
    } else {
        file.spans.reserve(size_t(expectedLines(data, 0, size)));
        one = readStretch(data, 0, size, file.spans, 0, kFreeRoom);
    }
    if (!two.oversized.empty()) {
        for (size_t i = size_t(one.count); i < file.spans.size(); ++i) {
            if (file.spans[i].sizes[0] == kOversized)
                file.spans[i].start += qint64(one.oversized.size());
        }
    }
    file.firstLine = std::move(one.firstLine);
    file.oversized = std::move(one.oversized);
    std::move(two.oversized.begin(), two.oversized.end(), std::back_inserter(file.oversized));
    file.damagedLines = one.damagedLines + two.damagedLines;
    file.spanBytes = one.spanBytes + two.spanBytes;
    file.bytes = std::move(bytes);
    return file;
}

Contents parse(QByteArrayView bytes)
{
    const FileLines file = readLines(bytes.toByteArray());
    Contents contents;
    contents.firstLine = file.firstLine;
    contents.damagedLines = file.damagedLines;
    contents.entries.reserve(file.spans.size());
    for (const EntrySpan& span : file.spans) {
        if (span.sizes[0] == kOversized) {
            contents.entries.push_back(file.oversized[span.start]);
            continue;
        }
        Entry entry;
        entry.username = decipheredText(spanField(file.bytes, span, 0));
        entry.password = decipheredText(spanField(file.bytes, span, 1));
        entry.location = decipheredText(spanField(file.bytes, span, 2));
        contents.entries.push_back(std::move(entry));
    }
    return contents;
}

QString decipheredText(QByteArrayView bytes)
{
    return decipher(bytes.data(), bytes.size());
}

ResultWith<QByteArray> encipheredBytes(QStringView text)
{
    ResultWith<QByteArray> bytes = codepage::encode(text);
    if (bytes.ok)
        cipherBytes(bytes.value.data(), bytes.value.size());
    return bytes;
}

QByteArray emptyFile()
{
    return QByteArrayLiteral("\r\n");
}

QByteArray passwordOnly(const QString& master)
{
    QByteArray out;
    appendCiphered(out, master);
    appendLineEnd(out);
    return out;
}

FileWriter::FileWriter(const QString& master, Sink sink) : m_sink(std::move(sink))
{
    m_buffer.resize(kGatherBytes);
    const QByteArray first = passwordOnly(master);
    std::copy(first.begin(), first.end(), room(first.size()));
}

FileWriter::FileWriter(Sink sink) : m_sink(std::move(sink))
{
    m_buffer.resize(kGatherBytes);
}

char* FileWriter::room(qsizetype bytes)
{
    if (m_used + bytes > m_buffer.size()) {
        flush();
        if (bytes > m_buffer.size())
            m_buffer.resize(bytes); // a line of megabytes, from a damaged file
    }
    char* at = m_buffer.data() + m_used;
    m_used += bytes;
    return at;
}

void FileWriter::flush()
{
    if (m_used > 0 && m_ok)
        m_ok = m_sink(QByteArrayView(m_buffer.constData(), m_used));
    m_used = 0;
}

int separatorsFor(QByteArrayView username, QByteArrayView password, QByteArrayView location)
{
    // A field ending in a bar would run into the separator after it. Such fields only come from
    // a damaged line, which had no separator after them: written the same way, without it,
    // the line reads back as it was read.
    const auto endsInBar = [](QByteArrayView field) { return !field.isEmpty() && field.back() == kCipheredBar; };
    if (location.isEmpty() && endsInBar(password))
        return 1;
    if (location.isEmpty() && password.isEmpty() && endsInBar(username))
        return 0;
    return 2;
}

void FileWriter::add(const Entry& e)
{
    QByteArray fields;
    appendCiphered(fields, e.username);
    appendCiphered(fields, e.password);
    appendCiphered(fields, e.location);
    const QByteArrayView all(fields);
    const qsizetype u = e.username.size();
    const qsizetype p = e.password.size();
    add(all.first(u), all.sliced(u, p), all.sliced(u + p));
}

void FileWriter::add(QByteArrayView username, QByteArrayView password, QByteArrayView location)
{
    const int separators = separatorsFor(username, password, location);
    char* to = room(lineBytes(username.size(), password.size(), location.size()) - kSeparatorBytes * (2 - separators));
    to = std::copy(username.begin(), username.end(), to);
    if (separators > 0) {
        to = std::fill_n(to, 3, kCipheredBar);
        to = std::copy(password.begin(), password.end(), to);
    }
    if (separators > 1) {
        to = std::fill_n(to, 3, kCipheredBar);
        to = std::copy(location.begin(), location.end(), to);
    }
    *to++ = kCR;
    *to = kLF;
}

void FileWriter::addLines(QByteArrayView lines)
{
    if (lines.size() >= kWrittenWhereTheyLie) {
        // A long run goes as it lies in memory: no copy of it.
        flush();
        if (m_ok)
            m_ok = m_sink(lines);
        char* to = room(kLineEndBytes);
        *to++ = kCR;
        *to = kLF;
        return;
    }
    char* to = std::copy(lines.begin(), lines.end(), room(lines.size() + kLineEndBytes));
    *to++ = kCR;
    *to = kLF;
}

void FileWriter::addWritten(QByteArrayView lines)
{
    if (lines.size() >= kWrittenWhereTheyLie) {
        flush();
        if (m_ok)
            m_ok = m_sink(lines);
        return;
    }
    std::copy(lines.begin(), lines.end(), room(lines.size()));
}

bool FileWriter::sendGathered()
{
    flush();
    return m_ok;
}

bool FileWriter::finish()
{
    char* to = room(kLineEndBytes);
    *to++ = kCR;
    *to = kLF;
    flush();
    return m_ok;
}

} // namespace vaultformat
