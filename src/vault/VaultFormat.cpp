#include "vault/VaultFormat.h"

#include "platform/CodePage.h"
#include "vault/LineCipher.h"

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

// Splits one raw (still enciphered) entry line; false when a separator is missing.
bool splitRaw(const char* begin, const char* end, Entry& entry)
{
    const char* first = findSeparator(begin, end);
    if (!first) {
        entry.username = decipher(begin, end - begin);
        return false;
    }
    entry.username = decipher(begin, first - begin);
    const char* second = findSeparator(first + 3, end);
    if (!second) {
        entry.password = decipher(first + 3, end - first - 3);
        return false;
    }
    entry.password = decipher(first + 3, second - first - 3);
    entry.location = decipher(second + 3, end - second - 3);
    return true;
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

Contents parse(QByteArrayView bytes)
{
    Contents contents;
    bool first = true;
    forEachLine(bytes, [&](const char* b, const char* e) {
        if (first) {
            contents.firstLine = decipher(b, e - b);
            first = false;
            return true;
        }
        if (b == e || (e - b == 1 && *b == ' '))
            return true;
        Entry entry;
        if (!splitRaw(b, e, entry))
            ++contents.damagedLines;
        contents.entries.push_back(std::move(entry));
        return true;
    });
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
    qsizetype size = master.size() + 4;
    for (const Entry& e : entries)
        size += e.username.size() + e.password.size() + e.location.size() + 8;
    QByteArray out;
    out.reserve(size);
    appendCiphered(out, master);
    appendLineEnd(out);
    for (const Entry& e : entries) {
        appendCiphered(out, e.username);
        appendCiphered(out, u"|||");
        appendCiphered(out, e.password);
        appendCiphered(out, u"|||");
        appendCiphered(out, e.location);
        appendLineEnd(out);
    }
    appendLineEnd(out);
    return out;
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
