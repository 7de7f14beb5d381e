#include "core/vault/CollationSort.h"

#include "core/platform/InParallel.h"

#include <QtCore/private/qtcore-config_p.h>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <unicode/ucol.h>

namespace collationsort {

namespace {

constexpr int kPieceBytes = 12; // with the row, one 16-byte record
// Ties that last this many pieces (long equal texts) are settled by comparing the texts.
constexpr int kPiecesBeforeComparing = 6;
constexpr int kTwoThreadsFrom = 8192;
constexpr int kSampledRows = 64;

using Collator = std::unique_ptr<UCollator, decltype(&ucol_close)>;

// An ICU collator set up as QCollator sets up its own, so that both order text alike.
Collator openLike(const QCollator& like)
{
    UErrorCode status = U_ZERO_ERROR;
    const QByteArray name = like.locale().bcp47Name().replace(QLatin1Char('-'), QLatin1Char('_')).toLatin1();
    Collator collator(ucol_open(name.constData(), &status), &ucol_close);
    if (U_FAILURE(status))
        return {nullptr, &ucol_close};
    ucol_setAttribute(collator.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(collator.get(), UCOL_STRENGTH,
                      like.caseSensitivity() == Qt::CaseSensitive ? UCOL_DEFAULT_STRENGTH : UCOL_SECONDARY, &status);
    ucol_setAttribute(collator.get(), UCOL_NUMERIC_COLLATION, like.numericMode() ? UCOL_ON : UCOL_OFF, &status);
    ucol_setAttribute(collator.get(), UCOL_ALTERNATE_HANDLING,
                      like.ignorePunctuation() ? UCOL_SHIFTED : UCOL_NON_IGNORABLE, &status);
    if (U_FAILURE(status))
        return {nullptr, &ucol_close};
    return collator;
}

// A row and a piece of its key, ordered as one unsigned 128-bit number: the piece, then the row,
// so that rows with equal keys keep their order.
struct Record {
    quint64 high = 0; // key bytes 0 to 7 of the piece
    quint64 low = 0;  // key bytes 8 to 11, then the row
    int row() const { return static_cast<int>(static_cast<quint32>(low)); }
    bool samePiece(const Record& other) const { return high == other.high && (low >> 32) == (other.low >> 32); }
    quint8 lastByte() const { return static_cast<quint8>(low >> 32); }
    friend bool operator<(const Record& a, const Record& b)
    {
        return a.high != b.high ? a.high < b.high : a.low < b.low;
    }
};

// Runs work(begin, end, worker) over [0, count), on two threads when there is enough of it.
template <typename Work>
void shareOut(int count, Work&& work)
{
    if (count < kTwoThreadsFrom) {
        work(0, count, 0);
        return;
    }
    const int half = count / 2;
    inParallel([&] { work(0, half, 0); }, [&] { work(half, count, 1); });
}

class Sorter {
public:
    Sorter(Collator first, Collator second, const TextOf& textOf, Qt::SortOrder direction)
        : m_textOf(textOf), m_descending(direction == Qt::DescendingOrder)
    {
        m_workers[0].collator = std::move(first);
        m_workers[1].collator = std::move(second);
    }

    std::vector<int> sort(int count)
    {
        m_records.resize(static_cast<size_t>(count));
        m_skipped = sharedStart(count);
        if (!fillFirstPieces(count)) {
            m_skipped = 0; // a row does not share the sampled start: keys from their first byte
            fillFirstPieces(count);
        }
        sortRecords(0, count);
        std::vector<Run> runs;
        findTies(0, count, 0, runs);
        while (!runs.empty()) {
            const Run run = runs.back();
            runs.pop_back();
            if (run.piece >= kPiecesBeforeComparing) {
                compareTexts(run);
                continue;
            }
            shareOut(run.end - run.begin, [&](int b, int e, int w) {
                for (int i = run.begin + b; i < run.begin + e; ++i)
                    m_records[i] = recordOf(m_records[i].row(), run.piece, m_workers[w]);
            });
            sortRecords(run.begin, run.end);
            findTies(run.begin, run.end, run.piece, runs);
        }
        std::vector<int> order(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            order[i] = m_records[i].row();
        return order;
    }

private:
    struct Worker {
        Collator collator{nullptr, &ucol_close};
        QString text;
        std::vector<uint8_t> key = std::vector<uint8_t>(512);
        QString other;
    };
    struct Run {
        int begin;
        int end;
        int piece; // the piece to look at next
    };

    // The row's whole key in worker.key; its length, the final zero byte included.
    qsizetype keyOf(int row, Worker& worker) const
    {
        m_textOf(row, worker.text);
        const auto length = static_cast<int32_t>(std::min<qsizetype>(worker.text.size(), INT_MAX));
        const auto* text = reinterpret_cast<const UChar*>(worker.text.constData());
        int32_t size = ucol_getSortKey(worker.collator.get(), text, length, worker.key.data(),
                                       static_cast<int32_t>(worker.key.size()));
        if (size > static_cast<int32_t>(worker.key.size())) {
            worker.key.resize(static_cast<size_t>(size));
            size = ucol_getSortKey(worker.collator.get(), text, length, worker.key.data(), size);
        }
        return size;
    }

    Record recordOf(int row, int piece, Worker& worker) const
    {
        const qsizetype size = keyOf(row, worker);
        return recordFrom(row, worker.key.data(), size, m_skipped + qsizetype(piece) * kPieceBytes);
    }

    Record recordFrom(int row, const uint8_t* key, qsizetype size, qsizetype from) const
    {
        uint8_t bytes[kPieceBytes] = {};
        if (from < size)
            std::memcpy(bytes, key + from, static_cast<size_t>(std::min<qsizetype>(kPieceBytes, size - from)));
        if (m_descending) // the complement orders the other way; rows stay in their order
            for (uint8_t& b : bytes)
                b = static_cast<uint8_t>(~b);
        Record record;
        for (int i = 0; i < 8; ++i)
            record.high = (record.high << 8) | bytes[i];
        for (int i = 8; i < kPieceBytes; ++i)
            record.low = (record.low << 8) | bytes[i];
        record.low = (record.low << 32) | static_cast<quint32>(row);
        return record;
    }

    // The bytes that the keys of a sample of rows start with alike, which most often all do (a
    // column of web addresses): pieces start after them.
    qsizetype sharedStart(int count)
    {
        Worker& worker = m_workers[0];
        const int step = std::max(1, count / kSampledRows);
        qsizetype shared = -1;
        for (int row = 0; row < count; row += step) {
            const qsizetype size = keyOf(row, worker);
            if (shared < 0) {
                shared = std::max<qsizetype>(size - 1, 0); // all but the final zero
                m_start.assign(worker.key.begin(), worker.key.begin() + shared);
                continue;
            }
            qsizetype same = 0;
            while (same < shared && same < size && worker.key[same] == m_start[same])
                ++same;
            shared = same;
        }
        m_start.resize(static_cast<size_t>(std::max<qsizetype>(shared, 0)));
        return std::max<qsizetype>(shared, 0);
    }

    // The first piece of every row's key; false when a row's key does not start as sampled.
    bool fillFirstPieces(int count)
    {
        std::atomic<bool> allShare{true};
        shareOut(count, [&](int begin, int end, int w) {
            Worker& worker = m_workers[w];
            for (int row = begin; row < end && allShare.load(std::memory_order_relaxed); ++row) {
                const qsizetype size = keyOf(row, worker);
                if (m_skipped > 0 && (size <= m_skipped || std::memcmp(worker.key.data(), m_start.data(),
                                                                       static_cast<size_t>(m_skipped)) != 0)) {
                    allShare = false;
                    return;
                }
                m_records[row] = recordFrom(row, worker.key.data(), size, m_skipped);
            }
        });
        return allShare;
    }

    void sortRecords(int begin, int end)
    {
        const auto first = m_records.begin() + begin;
        const auto last = m_records.begin() + end;
        if (end - begin < kTwoThreadsFrom) {
            std::sort(first, last);
            return;
        }
        const auto middle = first + (end - begin) / 2;
        inParallel([&] { std::sort(first, middle); }, [&] { std::sort(middle, last); });
        std::inplace_merge(first, middle, last);
    }

    // Runs of rows whose pieces are equal and whose keys go on; they are looked at further.
    void findTies(int begin, int end, int piece, std::vector<Run>& runs) const
    {
        const quint8 ended = m_descending ? 0xFF : 0x00; // a key's final zero, or the padding after it
        for (int i = begin; i < end;) {
            int j = i + 1;
            while (j < end && m_records[j].samePiece(m_records[i]))
                ++j;
            if (j - i > 1 && m_records[i].lastByte() != ended)
                runs.push_back({i, j, piece + 1});
            i = j;
        }
    }

    // Rows whose keys are alike far in, ordered by comparing their texts; equal ones keep their order.
    void compareTexts(const Run& run)
    {
        Worker& worker = m_workers[0];
        const auto compare = [&](const Record& a, const Record& b) {
            m_textOf(a.row(), worker.text);
            m_textOf(b.row(), worker.other);
            const UCollationResult c =
                ucol_strcoll(worker.collator.get(), reinterpret_cast<const UChar*>(worker.text.constData()),
                             static_cast<int32_t>(std::min<qsizetype>(worker.text.size(), INT_MAX)),
                             reinterpret_cast<const UChar*>(worker.other.constData()),
                             static_cast<int32_t>(std::min<qsizetype>(worker.other.size(), INT_MAX)));
            return m_descending ? c == UCOL_GREATER : c == UCOL_LESS;
        };
        std::stable_sort(m_records.begin() + run.begin, m_records.begin() + run.end, compare);
    }

    const TextOf& m_textOf;
    const bool m_descending;
    Worker m_workers[2];
    std::vector<Record> m_records;
    std::vector<uint8_t> m_start;
    qsizetype m_skipped = 0;
};

} // namespace

namespace {

// The library's collator for this one, when sort() can use it here.
Collator sortingCollator(const QCollator& collator)
{
#if QT_CONFIG(icu)
    if (collator.locale().language() != QLocale::C)
        return openLike(collator);
#else
    Q_UNUSED(collator); // Qt orders text by another library here
#endif
    return {nullptr, &ucol_close};
}

} // namespace

bool canSort(const QCollator& collator)
{
    return sortingCollator(collator) != nullptr;
}

std::vector<int> sort(const QCollator& collator, int count, const TextOf& textOf, Qt::SortOrder direction)
{
    Collator first = sortingCollator(collator);
    if (!first)
        return {};
    Sorter sorter(std::move(first), count >= kTwoThreadsFrom ? openLike(collator) : Collator(nullptr, &ucol_close),
                  textOf, direction);
    return sorter.sort(count);
}

} // namespace collationsort
