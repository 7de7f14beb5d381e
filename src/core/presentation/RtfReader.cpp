#include "core/presentation/RtfReader.h"

#include "core/platform/CodePage.h"
#include "core/platform/Twips.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr size_t kMaxDepth = 256; // deeper groups share the innermost kept state
constexpr qint64 kParamLimit = 0x7FFFFFFF;
constexpr int kMaxHalfPoints = 3276; // 1638 pt, the largest size RTF writers emit
constexpr int kMaxWordLength = 32;
constexpr int kMaxTwips = 31680; // 22 inches, the widest page RTF knows; far larger stalls layout
constexpr int kWindowsWestern = 1252;
// Qt's text layout stalls once a document grows past 2^23 pixels, so reading stops well before.
constexpr double kMaxHeight = 2'000'000; // pixels, estimated as below
constexpr double kNarrowestWidth = 300;  // pixels; the help window is wider
// Qt's line breaking takes time that grows with the square of a word's length: a run of 100,000
// letters without a blank takes seconds. Longer runs are cut; no real word comes near this.
constexpr int kMaxUnbrokenRun = 500;
constexpr int kMaxTableEntries = 256; // fonts, and colours, kept from their tables

enum class Dest { Text, FontTable, ColorTable, Skip };

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

struct State {
    CharProps chars;
    ParaProps para;
    Dest dest = Dest::Text;
    int uc = 1; // fallback characters after \u
};

struct Font {
    QString name;
    QFont::StyleHint hint = QFont::AnyStyle;
    int codePage = 0; // 0: the document's
};

// Packed by hand: one name a line would make these tables pages long.
// clang-format off
enum class Kind {
    Unknown, SkipDest, FontTable, ColorTable, CodePage, DefaultFont, Paragraph, Character, ParagraphReset,
    Align, Bold, Italic, Underline, UnderlineOff, Plain, FontSize, Font, FontColor, Charset, Family,
    Red, Green, Blue, Unicode, FallbackCount, Binary, SpaceBefore, SpaceAfter, LeftIndent,
    RightIndent, FirstIndent
};

struct WordInfo {
    Kind kind;
    int value = 0;
};

const std::unordered_map<std::string_view, WordInfo>& words()
{
    static const std::unordered_map<std::string_view, WordInfo> table = {
        {"fonttbl", {Kind::FontTable}}, {"colortbl", {Kind::ColorTable}},
        {"ansicpg", {Kind::CodePage}}, {"deff", {Kind::DefaultFont}},
        {"par", {Kind::Paragraph}}, {"sect", {Kind::Paragraph}}, {"page", {Kind::Paragraph}},
        {"row", {Kind::Paragraph}}, {"pard", {Kind::ParagraphReset}},
        {"line", {Kind::Character, 0x2028}}, {"tab", {Kind::Character, '\t'}},
        {"cell", {Kind::Character, '\t'}}, {"emdash", {Kind::Character, 0x2014}},
        {"endash", {Kind::Character, 0x2013}}, {"bullet", {Kind::Character, 0x2022}},
        {"lquote", {Kind::Character, 0x2018}}, {"rquote", {Kind::Character, 0x2019}},
        {"ldblquote", {Kind::Character, 0x201C}}, {"rdblquote", {Kind::Character, 0x201D}},
        {"ql", {Kind::Align, Qt::AlignLeft}}, {"qr", {Kind::Align, Qt::AlignRight}},
        {"qc", {Kind::Align, Qt::AlignHCenter}}, {"qj", {Kind::Align, Qt::AlignJustify}},
        {"b", {Kind::Bold}}, {"i", {Kind::Italic}}, {"ul", {Kind::Underline}},
        {"uld", {Kind::Underline}}, {"uldb", {Kind::Underline}}, {"ulw", {Kind::Underline}},
        {"ulnone", {Kind::UnderlineOff}}, {"plain", {Kind::Plain}}, {"fs", {Kind::FontSize}},
        {"f", {Kind::Font}}, {"cf", {Kind::FontColor}}, {"fcharset", {Kind::Charset}},
        {"fnil", {Kind::Family, QFont::AnyStyle}}, {"froman", {Kind::Family, QFont::Serif}},
        {"fswiss", {Kind::Family, QFont::SansSerif}}, {"fmodern", {Kind::Family, QFont::Monospace}},
        {"fscript", {Kind::Family, QFont::Cursive}}, {"fdecor", {Kind::Family, QFont::Decorative}},
        {"ftech", {Kind::Family, QFont::AnyStyle}},
        {"red", {Kind::Red}}, {"green", {Kind::Green}}, {"blue", {Kind::Blue}},
        {"u", {Kind::Unicode}}, {"uc", {Kind::FallbackCount}}, {"bin", {Kind::Binary}},
        {"sb", {Kind::SpaceBefore}}, {"sa", {Kind::SpaceAfter}}, {"li", {Kind::LeftIndent}},
        {"ri", {Kind::RightIndent}}, {"fi", {Kind::FirstIndent}},
        // Destinations whose content is not document text.
        {"info", {Kind::SkipDest}}, {"stylesheet", {Kind::SkipDest}}, {"pict", {Kind::SkipDest}},
        {"header", {Kind::SkipDest}}, {"headerl", {Kind::SkipDest}}, {"headerr", {Kind::SkipDest}},
        {"headerf", {Kind::SkipDest}}, {"footer", {Kind::SkipDest}}, {"footerl", {Kind::SkipDest}},
        {"footerr", {Kind::SkipDest}}, {"footerf", {Kind::SkipDest}}, {"generator", {Kind::SkipDest}},
        {"footnote", {Kind::SkipDest}}, {"annotation", {Kind::SkipDest}}, {"object", {Kind::SkipDest}},
        {"objdata", {Kind::SkipDest}}, {"fldinst", {Kind::SkipDest}}, {"themedata", {Kind::SkipDest}},
        {"colorschememapping", {Kind::SkipDest}}, {"latentstyles", {Kind::SkipDest}},
        {"datastore", {Kind::SkipDest}}, {"xmlnstbl", {Kind::SkipDest}}, {"listtable", {Kind::SkipDest}},
        {"listoverridetable", {Kind::SkipDest}}, {"revtbl", {Kind::SkipDest}},
        {"rsidtbl", {Kind::SkipDest}}, {"filetbl", {Kind::SkipDest}}, {"nonshppict", {Kind::SkipDest}},
        {"private", {Kind::SkipDest}}, {"bkmkstart", {Kind::SkipDest}}, {"bkmkend", {Kind::SkipDest}},
        {"xe", {Kind::SkipDest}}, {"tc", {Kind::SkipDest}}, {"txe", {Kind::SkipDest}},
        {"template", {Kind::SkipDest}}, {"userprops", {Kind::SkipDest}}, {"docvar", {Kind::SkipDest}},
        {"author", {Kind::SkipDest}}, {"operator", {Kind::SkipDest}}, {"title", {Kind::SkipDest}},
        {"subject", {Kind::SkipDest}}, {"keywords", {Kind::SkipDest}}, {"comment", {Kind::SkipDest}},
        {"doccomm", {Kind::SkipDest}}, {"company", {Kind::SkipDest}}, {"creatim", {Kind::SkipDest}},
        {"revtim", {Kind::SkipDest}}, {"printim", {Kind::SkipDest}}, {"buptim", {Kind::SkipDest}},
    };
    return table;
}
// clang-format on

// Windows code page of an RTF character set; 0 leaves the document's code page in force.
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

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Reader {
public:
    Reader(QByteArrayView rtf, QTextDocument& document)
        : m_p(rtf.data()), m_end(rtf.data() + rtf.size()), m_cursor(&document)
    {
    }

    // Reads it all; false when some text was left out.
    bool run()
    {
        m_cursor.beginEditBlock();
        while (m_p < m_end && m_height < kMaxHeight) {
            const char c = *m_p++;
            if (c == '{') {
                openGroup();
            } else if (c == '}') {
                if (!closeGroup())
                    break;
            } else if (c == '\\') {
                controlSequence();
            } else if (c == '\r' || c == '\n' || (c != '\t' && static_cast<unsigned char>(c) < 0x20)) {
                continue;
            } else if (m_skip > 0) {
                --m_skip;
            } else {
                textByte(static_cast<unsigned char>(c), false);
            }
        }
        decodeBytes();
        flushRun();
        m_cursor.setBlockFormat(blockFormat(m_state.para));
        m_cursor.endEditBlock();
        if (m_p < m_end && m_height >= kMaxHeight)
            m_cut = true;
        return !m_cut;
    }

private:
    void openGroup()
    {
        m_skip = 0;
        if (m_stack.size() < kMaxDepth)
            m_stack.push_back(m_state);
        else
            ++m_overflow;
    }

    // False once the document's outermost group has closed.
    bool closeGroup()
    {
        m_skip = 0;
        if (m_overflow > 0) {
            --m_overflow;
            return true;
        }
        if (m_stack.empty())
            return true; // a stray brace before any group
        if (m_stack.size() == 1)
            return false; // keep the state the document ended in
        if (m_state.dest == Dest::FontTable)
            commitFont(); // an entry left without its ';'
        m_state = m_stack.back();
        m_stack.pop_back();
        return true;
    }

    void controlSequence()
    {
        if (m_p == m_end)
            return;
        if (!isLetter(*m_p)) {
            controlSymbol(*m_p++);
            return;
        }
        const char* name = m_p;
        while (m_p < m_end && isLetter(*m_p))
            ++m_p;
        const std::string_view word(name, static_cast<size_t>(m_p - name));
        bool negative = false;
        if (m_p + 1 < m_end && *m_p == '-' && isDigit(m_p[1])) {
            negative = true;
            ++m_p;
        }
        bool hasParam = false;
        qint64 param = 0;
        while (m_p < m_end && isDigit(*m_p)) {
            hasParam = true;
            param = std::min(param * 10 + (*m_p - '0'), kParamLimit);
            ++m_p;
        }
        if (m_p < m_end && *m_p == ' ')
            ++m_p;
        controlWord(word, hasParam, static_cast<int>(negative ? -param : param));
    }

    void controlSymbol(char c)
    {
        int hex = -1;
        if (c == '\'')
            hex = readHex(); // consumed even when skipped as a fallback character
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}': textByte(static_cast<unsigned char>(c), false); break;
        case '\'':
            if (hex >= 0)
                textByte(static_cast<unsigned char>(hex), true);
            break;
        case '~': outChar(0x00A0); break;
        case '_': outChar(0x2011); break;
        case '*':
            if (!m_stack.empty())
                m_state.dest = Dest::Skip;
            break;
        case '\r':
        case '\n': newParagraph(); break;
        default: break; // \- and the symbols with no text
        }
    }

    // The byte of a \'hh escape, or -1 when cut short; only hex digits are consumed.
    int readHex()
    {
        int value = 0;
        for (int i = 0; i < 2; ++i) {
            const int digit = m_p < m_end ? hexValue(*m_p) : -1;
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
            ++m_p;
        }
        return value;
    }

    void controlWord(std::string_view word, bool hasParam, int param)
    {
        if (word.size() > size_t(kMaxWordLength))
            return;
        const auto& table = words();
        const auto it = table.find(word);
        const WordInfo info = it == table.end() ? WordInfo{Kind::Unknown} : it->second;
        if (info.kind == Kind::Binary) {
            // Raw bytes follow; they must never be read as braces or control words.
            m_p += std::min<qint64>(std::max(param, 0), m_end - m_p);
            if (m_skip > 0)
                --m_skip;
            return;
        }
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        if (m_state.dest == Dest::Skip)
            return;
        CharProps& chars = m_state.chars;
        ParaProps& para = m_state.para;
        const bool on = !hasParam || param != 0;
        switch (info.kind) {
        case Kind::SkipDest: m_state.dest = Dest::Skip; break;
        case Kind::FontTable:
            m_state.dest = Dest::FontTable;
            startFont(0);
            break;
        case Kind::ColorTable:
            m_state.dest = Dest::ColorTable;
            startColor();
            break;
        case Kind::CodePage:
            if (param > 0)
                m_codePage = param;
            break;
        case Kind::DefaultFont: m_defaultFont = param; break;
        case Kind::Paragraph: newParagraph(); break;
        case Kind::Character: outChar(char16_t(info.value)); break;
        case Kind::ParagraphReset: para = ParaProps(); break;
        case Kind::Align: para.align = Qt::Alignment(info.value); break;
        case Kind::Bold: chars.bold = on; break;
        case Kind::Italic: chars.italic = on; break;
        case Kind::Underline: chars.underline = on; break;
        case Kind::UnderlineOff: chars.underline = false; break;
        case Kind::Plain: chars = CharProps(); break;
        case Kind::FontSize:
            if (param > 0)
                chars.halfPoints = std::min(param, kMaxHalfPoints);
            break;
        case Kind::Font:
            if (m_state.dest == Dest::FontTable)
                startFont(param);
            else
                chars.font = param;
            break;
        case Kind::FontColor: chars.color = std::max(param, 0); break;
        case Kind::Charset:
            if (m_state.dest == Dest::FontTable)
                m_fontEntry.codePage = codePageOfCharset(param);
            break;
        case Kind::Family:
            if (m_state.dest == Dest::FontTable)
                m_fontEntry.hint = QFont::StyleHint(info.value);
            break;
        case Kind::Red:
        case Kind::Green:
        case Kind::Blue: {
            const int value = std::clamp(param, 0, 255);
            (info.kind == Kind::Red ? m_red : info.kind == Kind::Green ? m_green : m_blue) = value;
            m_colorGiven = true;
            break;
        }
        case Kind::Unicode: {
            const int code = param < 0 ? param + 65536 : param;
            if (code >= 0 && code <= 0xFFFF)
                outChar(char16_t(code));
            m_skip = m_state.uc;
            break;
        }
        case Kind::FallbackCount: m_state.uc = std::max(param, 0); break;
        case Kind::SpaceBefore: para.spaceBefore = std::clamp(param, 0, kMaxTwips); break;
        case Kind::SpaceAfter: para.spaceAfter = std::clamp(param, 0, kMaxTwips); break;
        case Kind::LeftIndent: para.leftIndent = std::clamp(param, -kMaxTwips, kMaxTwips); break;
        case Kind::RightIndent: para.rightIndent = std::clamp(param, -kMaxTwips, kMaxTwips); break;
        case Kind::FirstIndent: para.firstIndent = std::clamp(param, -kMaxTwips, kMaxTwips); break;
        case Kind::Unknown:
        case Kind::Binary: break;
        }
    }

    // A byte of text: ASCII as it is, others through the code page; escaped bytes always so.
    void textByte(unsigned char b, bool escaped)
    {
        switch (m_state.dest) {
        case Dest::Text:
            if (b < 0x80 && !escaped) {
                outChar(b);
                return;
            }
            if (!takesCharacter(b == 0x20 || b == 0xA0))
                return;
            matchRun();
            if (!m_bytes.isEmpty() && m_bytesCodePage != currentCodePage())
                decodeBytes();
            m_bytesCodePage = currentCodePage();
            m_bytes.append(char(b));
            m_height += characterHeight();
            return;
        case Dest::FontTable:
            if (b == ';' && !escaped)
                commitFont();
            else
                m_fontName.append(char(b));
            return;
        case Dest::ColorTable:
            if (b == ';' && !escaped)
                commitColor();
            return;
        case Dest::Skip: return;
        }
    }

    void outChar(char16_t ch)
    {
        if (m_state.dest != Dest::Text)
            return;
        if (!takesCharacter(ch == u' ' || ch == u'\t' || ch == u'-' || ch == 0x2028 || ch == 0x200B))
            return;
        matchRun();
        decodeBytes();
        m_run.append(QChar(ch));
        m_height += ch == 0x2028 ? lineHeight() : characterHeight();
    }

    // Whether the next character of the text is kept: a run without a place to break a line ends
    // in "..." once it is kMaxUnbrokenRun long, and the rest of it is left out.
    bool takesCharacter(bool breaksLine)
    {
        if (breaksLine) {
            m_unbroken = 0;
            return true;
        }
        if (m_unbroken < kMaxUnbrokenRun) {
            ++m_unbroken;
            return true;
        }
        if (m_unbroken == kMaxUnbrokenRun) {
            ++m_unbroken;
            m_cut = true;
            decodeBytes();
            m_run.append(QChar(0x2026));
        }
        return false;
    }

    void newParagraph()
    {
        if (m_state.dest != Dest::Text)
            return;
        m_unbroken = 0;
        decodeBytes();
        flushRun();
        m_cursor.setBlockFormat(blockFormat(m_state.para));
        m_cursor.insertBlock();
        m_height += lineHeight() + pixelsOf(m_state.para.spaceBefore + m_state.para.spaceAfter);
    }

    // An upper estimate of the laid-out height: a line is 1.5 times the font's pixel size (never
    // taken below 12 pt), and each character fills a square of that side on lines kNarrowestWidth
    // wide less the indents, or a line of its own when they leave less.
    double lineHeight() const
    {
        return std::max(m_state.chars.halfPoints, 24); // half points / 2 * 4/3 pixels * 1.5
    }

    double characterHeight() const
    {
        const ParaProps& para = m_state.para;
        const double indents = pixelsOf(para.leftIndent + para.rightIndent + std::max(para.firstIndent, 0));
        const double line = lineHeight();
        const double width = std::max(std::min(kNarrowestWidth - indents, kNarrowestWidth), line);
        return line * line / width;
    }

    // Text is gathered in runs of one character format.
    void matchRun()
    {
        if (m_runChars == m_state.chars)
            return;
        decodeBytes();
        flushRun();
        m_runChars = m_state.chars;
    }

    void flushRun()
    {
        if (m_run.isEmpty())
            return;
        m_cursor.insertText(m_run, charFormat(m_runChars));
        m_run.clear();
    }

    void decodeBytes()
    {
        if (m_bytes.isEmpty())
            return;
        m_run.append(decode(m_bytes, m_bytesCodePage));
        m_bytes.clear();
    }

    QString decode(QByteArrayView bytes, int codePage)
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

    const Font* fontOf(const CharProps& chars) const
    {
        const auto it = m_fonts.constFind(chars.font < 0 ? m_defaultFont : chars.font);
        return it == m_fonts.constEnd() ? nullptr : &*it;
    }

    int currentCodePage() const
    {
        const Font* font = fontOf(m_state.chars);
        return font && font->codePage > 0 ? font->codePage : m_codePage;
    }

    QTextCharFormat charFormat(const CharProps& chars) const
    {
        QTextCharFormat format;
        format.setFontWeight(chars.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(chars.italic);
        format.setFontUnderline(chars.underline);
        format.setFontPointSize(chars.halfPoints / 2.0);
        if (const Font* font = fontOf(chars); font && !font->name.isEmpty()) {
            format.setFontFamilies(QStringList{font->name});
            format.setFontStyleHint(font->hint);
        }
        // Entry 0 of the colour table is the automatic colour.
        if (chars.color > 0 && chars.color < m_colors.size() && m_colors[chars.color].isValid())
            format.setForeground(m_colors[chars.color]);
        return format;
    }

    static QTextBlockFormat blockFormat(const ParaProps& para)
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

    void startFont(int number)
    {
        m_fontNumber = number;
        m_fontEntry = Font();
        m_fontName.clear();
    }

    void commitFont()
    {
        // A table of thousands of fonts would make every lookup of a family slow; no help needs
        // more than a few, so later ones are read as the default font.
        if (!m_fontName.isEmpty() && (m_fonts.size() < kMaxTableEntries || m_fonts.contains(m_fontNumber))) {
            m_fontEntry.name =
                decode(m_fontName, m_fontEntry.codePage > 0 ? m_fontEntry.codePage : m_codePage).trimmed();
            m_fonts.insert(m_fontNumber, m_fontEntry);
        }
        m_fontName.clear();
    }

    void startColor()
    {
        m_red = m_green = m_blue = 0;
        m_colorGiven = false;
    }

    void commitColor()
    {
        if (m_colors.size() < kMaxTableEntries)
            m_colors.append(m_colorGiven ? QColor(m_red, m_green, m_blue) : QColor());
        startColor();
    }

    const char* m_p;
    const char* m_end;
    QTextCursor m_cursor;

    State m_state;
    std::vector<State> m_stack; // the states to return to, one per open group
    int m_overflow = 0;         // groups opened beyond kMaxDepth
    int m_skip = 0;             // fallback characters still to skip after \u

    int m_codePage = kWindowsWestern;
    int m_defaultFont = -1;
    QHash<int, Font> m_fonts;
    QList<QColor> m_colors;
    std::unordered_map<int, QStringDecoder> m_decoders;

    int m_fontNumber = 0;
    Font m_fontEntry;
    QByteArray m_fontName;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colorGiven = false;
    double m_height = 0; // estimated pixels of text so far
    int m_unbroken = 0;  // characters since the last place a line can break
    bool m_cut = false;  // text was left out

    CharProps m_runChars;
    QString m_run;
    QByteArray m_bytes; // escaped bytes not yet decoded, so that multi-byte characters stay whole
    int m_bytesCodePage = kWindowsWestern;
};

} // namespace

bool readRtf(QByteArrayView rtf, QTextDocument& document)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    const bool whole = Reader(rtf, document).run();
    document.setUndoRedoEnabled(undo);
    return whole;
}
