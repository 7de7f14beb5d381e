#include "core/presentation/RtfStyle.h"

#include "core/platform/CodePage.h"
#include "core/platform/Twips.h"

namespace rtf {

QTextCharFormat charFormat(const CharProps& chars, const Font* font, const QList<QColor>& colors)
{
    QTextCharFormat format;
    format.setFontWeight(chars.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(chars.italic);
    format.setFontUnderline(chars.underline);
    format.setFontPointSize(chars.halfPoints / 2.0);
    if (font && !font->name.isEmpty()) {
        format.setFontFamilies(QStringList{font->name});
        format.setFontStyleHint(font->hint);
    }
    // Entry 0 of the colour table is the automatic colour.
    if (chars.color > 0 && chars.color < colors.size() && colors[chars.color].isValid())
        format.setForeground(colors[chars.color]);
    return format;
}

QTextBlockFormat blockFormat(const ParaProps& para)
{
    QTextBlockFormat format;
    format.setAlignment(para.align);
    format.setTopMargin(pixelsOf(para.spaceBefore));
    format.setBottomMargin(pixelsOf(para.spaceAfter));
    format.setLeftMargin(pixelsOf(para.leftIndent));
    format.setRightMargin(pixelsOf(para.rightIndent));
    format.setTextIndent(pixelsOf(para.firstIndent));
    return format;
}

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
    }
}

QString CodePageDecoders::decode(QByteArrayView bytes, int codePage)
{
    if (codePage != kWindowsWestern) {
        auto it = m_decoders.find(codePage);
        if (it == m_decoders.end()) {
            QByteArray name = codePage == 65001   ? QByteArray("UTF-8")
                              : codePage == 10000 ? QByteArray("macintosh")
                                                  : "windows-" + QByteArray::number(codePage);
            QStringDecoder decoder(name.constData());
            if (!decoder.isValid())
                decoder = QStringDecoder(("cp" + QByteArray::number(codePage)).constData());
            it = m_decoders.emplace(codePage, std::move(decoder)).first;
        }
        if (it->second.isValid()) {
            it->second.resetState();
            return it->second.decode(bytes);
        }
    }
    return codepage::decode(bytes); // also for code pages this system cannot decode
}

} // namespace rtf
