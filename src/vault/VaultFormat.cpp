#include "vault/VaultFormat.h"

#include "platform/CodePage.h"
#include "vault/LineCipher.h"

#include <algorithm>
#include <array>
#include <cstring>

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

const char* findSeparator(const char* from, const char* end, char bar = kCipheredBar)
{
    while (end - from >= 3) {
        const void* hit = std::memchr(from, bar, end - from - 2);
        if (!hit)
            return nullptr;
        const char* p = static_cast<const char*>(hit);
        if (p[1] == bar && p[2] == bar)
            return p;
        from = p + 1;
    }
    return nullptr;
}

// Calls visit(begin, end) for each line; stops when visit returns false. The line ends are
// given, since a deciphered buffer has them with their top bit inverted.
template <class Visit>
void forEachLine(QByteArrayView bytes, Visit visit, char cr = kCR, char lf = kLF)
{
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        const void* hit = std::memchr(p, cr, end - p);
        const char* lineEnd = hit ? static_cast<const char*>(hit) : end;
        if (!visit(p, lineEnd))
            return;
        p = lineEnd;
        if (p < end) {
            ++p; // the CR
            if (p < end && *p == lf)
                ++p;
        }
    }
}

// Eight bytes at a time: fields are short, and a byte loop spends most of its time in its tail.
char* appendInverted(char* to, QByteArrayView from)
{
    constexpr quint64 kTopBits = 0x8080808080808080ull;
    const char* src = from.data();
    const qsizetype n = from.size();
    if (n < 8) {
        for (qsizetype i = 0; i < n; ++i)
            to[i] = static_cast<char>(src[i] ^ 0x80);
        return to + n;
    }
    quint64 word;
    for (qsizetype i = 0; i + 8 <= n; i += 8) {
        std::memcpy(&word, src + i, 8);
        word ^= kTopBits;
        std::memcpy(to + i, &word, 8);
    }
    std::memcpy(&word, src + n - 8, 8); // the last eight, overlapping what is done
    word ^= kTopBits;
    std::memcpy(to + n - 8, &word, 8);
    return to + n;
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

bool splitEntryLine(QStringView line, Entry& entry)
{
    entry = {};
    const qsizetype first = line.indexOf(QLatin1String(kSeparator));
    if (first < 0) {
        entry.username = line.toString();
        return false;
    }
    entry.username = line.left(first).toString();
    const qsizetype second = line.indexOf(QLatin1String(kSeparator), first + 3);
    if (second < 0) {
        entry.password = line.mid(first + 3).toString();
        return false;
    }
    entry.password = line.mid(first + 3, second - first - 3).toString();
    entry.location = line.mid(second + 3).toString();
    return true;
}

DecipheredFile decipherFile(QByteArray bytes)
{
    DecipheredFile file;
    char* const data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype lineEnds = 0;
    for (qsizetype i = 0; i < size; ++i) {
        lineEnds += data[i] == kCR;
        data[i] = static_cast<char>(data[i] ^ 0x80);
    }
    file.spans.reserve(lineEnds);
    constexpr char cr = static_cast<char>(kCR ^ 0x80);
    constexpr char lf = static_cast<char>(kLF ^ 0x80);
    constexpr char blank = static_cast<char>(' ' ^ 0x80);
    const auto bytesOf = [](const char* b, const char* e) { return QByteArrayView(b, e - b); };
    bool first = true;
    forEachLine(
        bytes,
        [&](const char* b, const char* e) {
            if (first) {
                file.firstLine = codepage::decode(bytesOf(b, e));
                first = false;
                return true;
            }
            if (b == e || (e - b == 1 && *b == blank))
                return true;
            // Missing separators leave the later fields empty.
            const char* ends[3] = {e, e, e};
            if (const char* one = findSeparator(b, e, '|')) {
                ends[0] = one;
                if (const char* two = findSeparator(one + 3, e, '|'))
                    ends[1] = two;
                else
                    ++file.damagedLines;
            } else {
                ++file.damagedLines;
            }
            const char* starts[3] = {b, ends[0] == e ? e : ends[0] + 3, ends[1] == e ? e : ends[1] + 3};
            EntrySpan span;
            span.start = b - data;
            bool fits = true;
            for (int i = 0; i < 3; ++i) {
                const qint64 n = ends[i] - starts[i];
                fits = fits && n < kOversized;
                span.sizes[i] = static_cast<quint32>(n);
            }
            if (!fits) {
                Entry entry;
                entry.username = codepage::decode(bytesOf(starts[0], ends[0]));
                entry.password = codepage::decode(bytesOf(starts[1], ends[1]));
                entry.location = codepage::decode(bytesOf(starts[2], ends[2]));
                span = EntrySpan{static_cast<qint64>(file.oversized.size()), {kOversized, 0, 0}};
                file.oversized.push_back(std::move(entry));
            }
            file.spans.push_back(span);
            return true;
        },
        cr, lf);
    file.text = std::move(bytes);
    return file;
}

Contents parse(QByteArrayView bytes)
{
    const DecipheredFile file = decipherFile(bytes.toByteArray());
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
        entry.username = codepage::decode(spanField(file.text, span, 0));
        entry.password = codepage::decode(spanField(file.text, span, 1));
        entry.location = codepage::decode(spanField(file.text, span, 2));
        contents.entries.push_back(std::move(entry));
    }
    return contents;
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

QByteArray fullVault(const QString& master, const std::vector<Entry>& entries)
{
    qsizetype size = 0;
    for (const Entry& e : entries)
        size += e.username.size() + e.password.size() + e.location.size() + 8;
    FileWriter writer(master, size);
    for (const Entry& e : entries)
        writer.add(e);
    return writer.finish();
}

FileWriter::FileWriter(const QString& master, qsizetype entryBytes)
{
    m_out = passwordOnly(master);
    m_used = m_out.size();
    m_out.resize(m_used + entryBytes + 2);
}

char* FileWriter::room(qsizetype bytes)
{
    if (m_used + bytes > m_out.size())
        m_out.resize(std::max(m_out.size() * 2, m_used + bytes));
    char* at = m_out.data() + m_used;
    m_used += bytes;
    return at;
}

void FileWriter::add(const Entry& e)
{
    QByteArray line;
    appendCiphered(line, e.username);
    appendCiphered(line, u"|||");
    appendCiphered(line, e.password);
    appendCiphered(line, u"|||");
    appendCiphered(line, e.location);
    appendLineEnd(line);
    std::copy(line.cbegin(), line.cend(), room(line.size()));
}

void FileWriter::add(QByteArrayView username, QByteArrayView password, QByteArrayView location)
{
    char* to = room(username.size() + password.size() + location.size() + 8);
    to = appendInverted(to, username);
    to = std::fill_n(to, 3, kCipheredBar);
    to = appendInverted(to, password);
    to = std::fill_n(to, 3, kCipheredBar);
    to = appendInverted(to, location);
    *to++ = kCR;
    *to = kLF;
}

void FileWriter::addLine(QByteArrayView line)
{
    char* to = appendInverted(room(line.size() + 2), line);
    *to++ = kCR;
    *to = kLF;
}

QByteArray FileWriter::finish()
{
    char* to = room(2);
    *to++ = kCR;
    *to = kLF;
    m_out.truncate(m_used);
    return std::move(m_out);
}

QString problemWithPassword(QStringView text)
{
    const qsizetype bad = codepage::firstUnencodable(text);
    if (bad >= 0) {
        const QString code = QString::number(text[bad].unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        return QStringLiteral("it holds the character \"%1\" (U+%2), which the data file cannot store")
            .arg(text.mid(bad, text[bad].isHighSurrogate() ? 2 : 1), code);
    }
    if (text.contains(QChar(0x8D)))
        return QStringLiteral("it holds the control character U+008D, which would end the line in the data file");
    return {};
}

QString problemWithField(QStringView text, bool isLocation)
{
    QString problem = problemWithPassword(text);
    if (!problem.isEmpty() || isLocation)
        return problem;
    if (text.contains(QLatin1String(kSeparator)))
        return QStringLiteral("it holds \"|||\", which separates the fields in the data file");
    if (text.endsWith(QLatin1Char('|')))
        return QStringLiteral("it ends with \"|\", which would run into the field separator");
    return {};
}

} // namespace vaultformat
