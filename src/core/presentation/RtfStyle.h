#pragma once
#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <unordered_map>

// What the help reader keeps of RTF's character and paragraph properties, and the text formats
// they become; the code pages text bytes are read in.
namespace rtf {

struct CharProps {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int font = -1; // -1: the document's default font
    int halfPoints = 24;
    int color = 0;
    bool operator==(const CharProps&) const = default;
};

struct ParaProps {
    Qt::Alignment align = Qt::AlignLeft;
    int spaceBefore = 0; // all in twips
    int spaceAfter = 0;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
};

struct Font {
    QString name;
    QFont::StyleHint hint = QFont::AnyStyle;
    int codePage = 0; // 0: the document's
};

// The format of text with these properties; font is its entry of the font table, if any, and
// colors the colour table.
QTextCharFormat charFormat(const CharProps& chars, const Font* font, const QList<QColor>& colors);
QTextBlockFormat blockFormat(const ParaProps& para);

// Windows code page of an RTF character set; 0 leaves the document's code page in force.
int codePageOfCharset(int charset);

// Text bytes in a Windows code page, through a decoder made once per code page; the Western one,
// and those this system cannot decode, through the program's own.
class CodePageDecoders {
public:
    QString decode(QByteArrayView bytes, int codePage);

private:
    std::unordered_map<int, QStringDecoder> m_decoders;
};

inline constexpr int kWindowsWestern = 1252;

} // namespace rtf
