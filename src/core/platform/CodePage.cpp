#include "core/platform/CodePage.h"

#include <array>

namespace codepage {
namespace {

// Characters of the bytes 0x80..0x9F; unassigned bytes map to the C1 control of the same value.
constexpr std::array<char16_t, 32> kHighControls = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString decode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : char16_t(b);
    }
    return text;
}

int byteFor(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == ch)
            return 0x80 + i;
    }
    return -1;
}

ResultWith<QByteArray> encode(QStringView text)
{
    ResultWith<QByteArray> encoded;
    encoded.value.resize(text.size());
    char* dst = encoded.value.data();
    const char16_t* src = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = src[i];
        const int b = ch < 0x80 ? int(ch) : byteFor(ch);
        if (b < 0)
            return {Result::failure(
                QStringLiteral("the code page has no character U+%1").arg(int(ch), 4, 16, QLatin1Char('0')).toUpper())};
        dst[i] = static_cast<char>(b);
    }
    return encoded;
}

qsizetype firstUnencodable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (byteFor(text[i].unicode()) < 0)
            return i;
    }
    return -1;
}

} // namespace codepage
