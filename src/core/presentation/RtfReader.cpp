#include "core/presentation/RtfReader.h"

#include "core/platform/Twips.h"
#include "core/presentation/RtfStyle.h"
#include "core/presentation/RtfTokenizer.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace {

using rtf::CharProps;
using rtf::Font;
using rtf::kWindowsWestern;
using rtf::ParaProps;

constexpr size_t kMaxDepth = 256;    // deeper groups share the innermost kept state
constexpr int kMaxHalfPoints = 3276; // 1638 pt, the largest size RTF writers emit
constexpr int kMaxTwips = 31680;     // 22 inches, the widest page RTF knows; far larger stalls layout
// Qt's text layout stalls once a document grows past 2^23 pixels, so reading stops well before.
constexpr double kMaxHeight = 2'000'000; // pixels, estimated as below
constexpr double kNarrowestWidth = 300;  // pixels; the help window is wider
// Qt's line breaking takes time that grows with the square of a word's length: a run of 100,000
// letters without a blank takes seconds. Longer runs are cut; no real word comes near this.
constexpr int kMaxUnbrokenRun = 500;
constexpr int kMaxTableEntries = 256; // fonts, and colours, kept from their tables

enum class Dest { Text, FontTable, ColorTable, Skip };

struct State {
    CharProps chars;
    ParaProps para;
    Dest dest = Dest::Text;
    int uc = 1; // fallback characters after \u
};

class Reader {
public:
    Reader(QByteArrayView rtf, QTextDocument& document) : m_tokens(rtf), m_cursor(&document) {}

    // Reads it all; false when some text was left out.
    bool run()
    {
        using Type = rtf::Token::Type;
        m_cursor.beginEditBlock();
        bool reading = true;
        while (reading && m_height < kMaxHeight) {
            const rtf::Token t = m_tokens.next();
            switch (t.type) {
            case Type::End: reading = false; break;
            case Type::OpenGroup: openGroup(); break;
            case Type::CloseGroup: reading = closeGroup(); break;
            case Type::Word: controlWord(t); break;
            case Type::Symbol: controlSymbol(t.symbol, t.hex); break;
            case Type::Text:
                if (m_skip > 0)
                    --m_skip;
                else
                    textByte(t.byte, false);
                break;
            }
        }
        decodeBytes();
        flushRun();
        m_cursor.setBlockFormat(rtf::blockFormat(m_state.para));
        m_cursor.endEditBlock();
        if (!m_tokens.atEnd() && m_height >= kMaxHeight)
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

    void controlSymbol(char c, int hex)
    {
        if (m_skip > 0) {
            --m_skip; // a fallback character, its escaped byte included
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

    void controlWord(const rtf::Token& word)
    {
        using rtf::Kind;
        if (word.overlong)
            return;
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        if (word.kind == Kind::Binary || m_state.dest == Dest::Skip)
            return;
        const int param = word.param;
        CharProps& chars = m_state.chars;
        ParaProps& para = m_state.para;
        const bool on = !word.hasParam || param != 0;
        switch (word.kind) {
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
        case Kind::Character: outChar(char16_t(word.value)); break;
        case Kind::ParagraphReset: para = ParaProps(); break;
        case Kind::Align: para.align = Qt::Alignment(word.value); break;
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
                m_fontEntry.codePage = rtf::codePageOfCharset(param);
            break;
        case Kind::Family:
            if (m_state.dest == Dest::FontTable)
                m_fontEntry.hint = QFont::StyleHint(word.value);
            break;
        case Kind::Red:
        case Kind::Green:
        case Kind::Blue: {
            const int value = std::clamp(param, 0, 255);
            (word.kind == Kind::Red ? m_red : word.kind == Kind::Green ? m_green : m_blue) = value;
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
        m_cursor.setBlockFormat(rtf::blockFormat(m_state.para));
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
        m_cursor.insertText(m_run, rtf::charFormat(m_runChars, fontOf(m_runChars), m_colors));
        m_run.clear();
    }

    void decodeBytes()
    {
        if (m_bytes.isEmpty())
            return;
        m_run.append(m_decoders.decode(m_bytes, m_bytesCodePage));
        m_bytes.clear();
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
                m_decoders.decode(m_fontName, m_fontEntry.codePage > 0 ? m_fontEntry.codePage : m_codePage).trimmed();
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

    rtf::Tokenizer m_tokens;
    QTextCursor m_cursor;

    State m_state;
    std::vector<State> m_stack; // the states to return to, one per open group
    int m_overflow = 0;         // groups opened beyond kMaxDepth
    int m_skip = 0;             // fallback characters still to skip after \u

    int m_codePage = kWindowsWestern;
    int m_defaultFont = -1;
    QHash<int, Font> m_fonts;
    QList<QColor> m_colors;
    rtf::CodePageDecoders m_decoders;

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
