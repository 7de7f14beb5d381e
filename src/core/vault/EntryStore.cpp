#include "core/vault/EntryStore.h"

#include "core/platform/InParallel.h"

#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <numeric>
#include <utility>

namespace {

// Rows are kept as the file's lines, line ends and all, so runs of them save in one copy.
constexpr char kLineEnd[] = {'\r', '\n'};

// How many rows ahead a save fetches the text of the row it will write.
constexpr qsizetype kFetchAhead = 24;

vaultformat::EntrySpan appendLine(QByteArray& text, QByteArrayView username, QByteArrayView password,
                                  QByteArrayView location)
{
    vaultformat::EntrySpan span;
    span.start = text.size();
    span.sizes[0] = static_cast<quint32>(username.size());
    span.sizes[1] = static_cast<quint32>(password.size());
    span.sizes[2] = static_cast<quint32>(location.size());
    text.append(username).append(vaultformat::kStoredSeparator, 3).append(password);
    text.append(vaultformat::kStoredSeparator, 3).append(location).append(kLineEnd, 2);
    return span;
}

// Adds an entry to a buffer as the file's line for it; an entry the code page cannot hold, or
// too long for a span, is kept as it is.
vaultformat::EntrySpan encodeInto(QByteArray& text, std::vector<Entry>& keptAsIs, const Entry& entry)
{
    QByteArray fields[3];
    const QString* texts[3] = {&entry.username, &entry.password, &entry.location};
    bool fits = true;
    for (int i = 0; i < 3 && fits; ++i) {
        ResultWith<QByteArray> bytes = vaultformat::encipheredBytes(*texts[i]);
        fields[i] = std::move(bytes.value);
        fits = bytes.ok && fields[i].size() < vaultformat::kOversized;
    }
    if (fits)
        return appendLine(text, fields[0], fields[1], fields[2]);
    vaultformat::EntrySpan span;
    span.start = static_cast<qint64>(keptAsIs.size());
    span.sizes[0] = vaultformat::kOversized;
    keptAsIs.push_back(entry);
    return span;
}

} // namespace

void EntryStore::insert(int row, const Entry& entry)
{
    ensureIds();
    m_rows.insert(m_rows.begin() + row, store(entry));
    m_ids.insert(m_ids.begin() + row, m_nextId++);
}

void EntryStore::replaceAll(const std::vector<Entry>& entries)
{
    vaultformat::FileLines file;
    qsizetype bytes = 0;
    for (const Entry& e : entries)
        bytes += vaultformat::lineBytes(e);
    file.bytes.reserve(bytes);
    file.spans.reserve(entries.size());
    for (const Entry& e : entries) {
        file.spans.push_back(encodeInto(file.bytes, file.oversized, e));
        if (!isKeptAsIs(file.spans.back()))
            file.spanBytes += vaultformat::lineBytes(file.spans.back());
    }
    replaceAll(std::move(file));
}

void EntryStore::replaceAll(vaultformat::FileLines file)
{
    m_text = std::move(file.bytes);
    m_rows = std::move(file.spans);
    m_keptAsIs = std::move(file.oversized);
    m_usedBytes = file.spanBytes;
    m_ids = {};
    m_firstId = m_nextId;
    m_nextId += m_rows.size();
}

void EntryStore::setEntry(int row, const Entry& entry)
{
    release(m_rows[row]);
    m_rows[row] = store(entry);
    compactIfWasteful();
}

void EntryStore::remove(int row)
{
    ensureIds();
    release(m_rows[row]);
    m_rows.erase(m_rows.begin() + row);
    m_ids.erase(m_ids.begin() + row);
    compactIfWasteful();
}

void EntryStore::reorder(const std::vector<int>& order)
{
    const int n = count();
    vaultformat::SpanList rows(n); // every row is written below
    std::vector<quint64> ids(n);
    for (int i = 0; i < n; ++i) {
        rows[i] = m_rows[order[i]];
        ids[i] = idAt(order[i]);
    }
    m_rows = std::move(rows);
    m_ids = std::move(ids);
    // The text stays where it is: copying it into list order would hold the list's text twice.
}

QString EntryStore::field(const Entry& entry, int column)
{
    switch (column) {
    case 0: return entry.username;
    case 1: return entry.password;
    default: return entry.location;
    }
}

bool EntryStore::keptAsIs(int row) const
{
    return isKeptAsIs(m_rows[row]);
}

QByteArrayView EntryStore::storedField(int row, int column) const
{
    return bytesOf(m_rows[row], column);
}

QByteArrayView EntryStore::bytesOf(const Span& span, int column) const
{
    return vaultformat::spanField(m_text, span, std::clamp(column, 0, 2));
}

QString EntryStore::field(int row, int column) const
{
    const Span& span = m_rows[row];
    if (isKeptAsIs(span))
        return field(m_keptAsIs[span.start], column);
    return vaultformat::decipheredText(bytesOf(span, column));
}

QString EntryStore::shownText(const QString& text)
{
    if (text.size() <= kShownCharacters)
        return text;
    const qsizetype cut = text.at(kShownCharacters - 1).isHighSurrogate() ? kShownCharacters - 1 : kShownCharacters;
    return text.left(cut) + QChar(0x2026);
}

QString EntryStore::shownField(int row, int column) const
{
    const Span& span = m_rows[row];
    if (isKeptAsIs(span))
        return shownText(field(m_keptAsIs[span.start], column));
    // Only what is shown is deciphered; one character more tells whether the field goes on.
    const QByteArrayView bytes = bytesOf(span, column);
    return shownText(vaultformat::decipheredText(bytes.first(std::min(bytes.size(), kShownCharacters + 1))));
}

Entry EntryStore::at(int row) const
{
    const Span& span = m_rows[row];
    if (isKeptAsIs(span))
        return m_keptAsIs[span.start];
    return {vaultformat::decipheredText(bytesOf(span, 0)), vaultformat::decipheredText(bytesOf(span, 1)),
            vaultformat::decipheredText(bytesOf(span, 2))};
}

std::vector<Entry> EntryStore::entries() const
{
    std::vector<Entry> all;
    all.reserve(m_rows.size());
    for (int row = 0; row < count(); ++row)
        all.push_back(at(row));
    return all;
}

int EntryStore::rowOfId(quint64 id) const
{
    if (m_ids.empty())
        return id >= m_firstId && id - m_firstId < m_rows.size() ? static_cast<int>(id - m_firstId) : -1;
    const auto it = std::find(m_ids.begin(), m_ids.end(), id);
    return it == m_ids.end() ? -1 : static_cast<int>(it - m_ids.begin());
}

void EntryStore::ensureIds()
{
    if (m_ids.empty() && !m_rows.empty()) {
        m_ids.resize(m_rows.size());
        std::iota(m_ids.begin(), m_ids.end(), m_firstId);
    }
}

EntryStore::Span EntryStore::store(const Entry& entry)
{
    const Span span = encodeInto(m_text, m_keptAsIs, entry);
    if (!isKeptAsIs(span))
        m_usedBytes += vaultformat::lineBytes(span);
    return span;
}

void EntryStore::release(const Span& span)
{
    if (isKeptAsIs(span))
        m_keptAsIs[span.start] = {};
    else
        m_usedBytes -= vaultformat::lineBytes(span);
}

// Edits and deletions leave text behind; once it is more than half the buffer, the live rows
// are copied into a new one.
void EntryStore::compactIfWasteful()
{
    if (m_text.size() > 2 * m_usedBytes + 65536)
        relayText();
}

// Copies the rows into a new buffer in list order, so that a save copies long runs of them.
void EntryStore::relayText()
{
    QByteArray text;
    text.reserve(m_usedBytes + m_usedBytes / 16 + 4096); // room for entries added later
    std::vector<Entry> kept;
    for (Span& span : m_rows) {
        if (isKeptAsIs(span)) {
            kept.push_back(std::move(m_keptAsIs[span.start]));
            span.start = static_cast<qint64>(kept.size() - 1);
        } else {
            span = appendLine(text, bytesOf(span, 0), bytesOf(span, 1), bytesOf(span, 2));
        }
    }
    m_text = std::move(text);
    m_keptAsIs = std::move(kept);
}

// Rows gathered a piece at a time, each piece on one of two threads.
constexpr qsizetype kRowsAPiece = 8192;

void EntryStore::writeTo(vaultformat::FileWriter& writer) const
{
    const auto rowCount = static_cast<qsizetype>(m_rows.size());
    const qsizetype pieces = (rowCount + kRowsAPiece - 1) / kRowsAPiece;
    if (pieces < 2) {
        writeRows(writer, 0, rowCount);
        return;
    }
    // Sorted rows lie scattered in memory, and gathering them is most of a save's work: the
    // pieces are gathered in turn here and on a second thread, which hands its pieces over in
    // two slots; this thread writes them all, in order (and gathers them all when no second
    // thread can be had).
    struct Handover {
        std::mutex lock;
        std::condition_variable changed;
        std::array<QByteArray, 2> gathered;
        std::array<bool, 2> full{};
        bool stopped = false; // either side left early (it threw): the other stops waiting
    } handover;
    const auto rowsOf = [&](qsizetype piece) {
        return std::pair(piece * kRowsAPiece, std::min(rowCount, (piece + 1) * kRowsAPiece));
    };
    const auto stop = [&] {
        const std::lock_guard<std::mutex> hold(handover.lock);
        handover.stopped = true;
        handover.changed.notify_all();
    };
    inParallel(
        [&] {
            const auto done = qScopeGuard(stop);
            for (qsizetype piece = 0; piece < pieces; ++piece) {
                if (piece % 2 == 0) {
                    const auto [begin, end] = rowsOf(piece);
                    writeRows(writer, begin, end);
                    continue;
                }
                const size_t slot = size_t(piece / 2 % 2);
                std::unique_lock<std::mutex> hold(handover.lock);
                handover.changed.wait(hold, [&] { return handover.full[slot] || handover.stopped; });
                if (!handover.full[slot])
                    return; // the other thread threw; inParallel throws it here
                const QByteArray lines = std::exchange(handover.gathered[slot], QByteArray());
                handover.full[slot] = false;
                handover.changed.notify_all();
                hold.unlock();
                writer.addWritten(lines);
            }
        },
        [&] {
            const auto done = qScopeGuard(stop);
            QByteArray lines;
            vaultformat::FileWriter gatherer([&lines](QByteArrayView part) {
                lines.append(part);
                return true;
            });
            for (qsizetype piece = 1; piece < pieces; piece += 2) {
                const auto [begin, end] = rowsOf(piece);
                writeRows(gatherer, begin, end);
                gatherer.sendGathered();
                const size_t slot = size_t(piece / 2 % 2);
                std::unique_lock<std::mutex> hold(handover.lock);
                handover.changed.wait(hold, [&] { return !handover.full[slot] || handover.stopped; });
                if (handover.full[slot])
                    return; // the writing thread threw; inParallel throws it there
                handover.gathered[slot] = std::exchange(lines, QByteArray());
                handover.full[slot] = true;
                handover.changed.notify_all();
            }
        },
        [&] { writeRows(writer, 0, rowCount); });
}

void EntryStore::writeRows(vaultformat::FileWriter& writer, qsizetype from, qsizetype to) const
{
    const char* text = m_text.constData();
    const qint64 size = m_text.size();
    const auto isSeparator = [&](qint64 at) { return std::memcmp(text + at, vaultformat::kStoredSeparator, 3) == 0; };
    // Whether a row lies in the buffer as the file has it, separators and all, and is written
    // with both (a damaged line may be written with fewer).
    const auto isWhole = [&](const Span& span) {
        const qint64 first = span.start + span.sizes[0];
        const qint64 second = first + 3 + span.sizes[1];
        return !isKeptAsIs(span) && second + 3 <= size && isSeparator(first) && isSeparator(second) &&
               vaultformat::separatorsFor(bytesOf(span, 0), bytesOf(span, 1), bytesOf(span, 2)) == 2;
    };
    const qsizetype rowCount = to;
    for (qsizetype row = from; row < rowCount;) {
        // Sorted rows lie scattered in the buffer: their text is fetched ahead of its turn.
        if (row + kFetchAhead < rowCount && !isKeptAsIs(m_rows[row + kFetchAhead])) {
            const Span& ahead = m_rows[row + kFetchAhead];
            __builtin_prefetch(text + ahead.start);
            __builtin_prefetch(text + ahead.start + vaultformat::lineBytes(ahead) - 1);
        }
        const Span& span = m_rows[row];
        if (isKeptAsIs(span)) {
            writer.add(m_keptAsIs[span.start]);
            ++row;
            continue;
        }
        if (!isWhole(span)) {
            writer.add(bytesOf(span, 0), bytesOf(span, 1), bytesOf(span, 2));
            ++row;
            continue;
        }
        // Rows that follow each other in the buffer, line ends between them, go in one copy.
        qint64 end = span.start + vaultformat::lineBytes(span) - vaultformat::kLineEndBytes;
        for (++row; row < rowCount; ++row) {
            const Span& next = m_rows[row];
            if (next.start != end + vaultformat::kLineEndBytes || text[end] != kLineEnd[0] ||
                text[end + 1] != kLineEnd[1] || !isWhole(next))
                break;
            end = next.start + vaultformat::lineBytes(next) - vaultformat::kLineEndBytes;
        }
        writer.addLines(QByteArrayView(text + span.start, end - span.start));
    }
}

qsizetype EntryStore::fileSize() const
{
    qsizetype bytes = m_usedBytes;
    for (const Entry& e : m_keptAsIs)
        bytes += vaultformat::lineBytes(e);
    return bytes;
}
