#include "core/presentation/RtfTokenizer.h"

#include <QFont>
#include <algorithm>
#include <unordered_map>

namespace rtf {
namespace {

constexpr qint64 kParamLimit = 0x7FFFFFFF;
constexpr int kMaxWordLength = 32;

// clang-format off
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

} // namespace

Token Tokenizer::next()
{
    while (m_p < m_end) {
        const char c = *m_p++;
        Token t;
        switch (c) {
        case '{': t.type = Token::Type::OpenGroup; return t;
        case '}': t.type = Token::Type::CloseGroup; return t;
        case '\\':
            if (m_p == m_end)
                return {};
            return controlSequence();
        default:
            if (c == '\r' || c == '\n' || (c != '\t' && static_cast<unsigned char>(c) < 0x20))
                continue;
            t.type = Token::Type::Text;
            t.byte = static_cast<unsigned char>(c);
            return t;
        }
    }
    return {};
}

Token Tokenizer::controlSequence()
{
    Token t;
    if (!isLetter(*m_p)) {
        t.type = Token::Type::Symbol;
        t.symbol = *m_p++;
        if (t.symbol == '\'')
            t.hex = readHex();
        return t;
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
    qint64 param = 0;
    while (m_p < m_end && isDigit(*m_p)) {
        t.hasParam = true;
        param = std::min(param * 10 + (*m_p - '0'), kParamLimit);
        ++m_p;
    }
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    t.type = Token::Type::Word;
    t.param = static_cast<int>(negative ? -param : param);
    t.overlong = word.size() > size_t(kMaxWordLength);
    if (!t.overlong) {
        const auto& table = words();
        if (const auto it = table.find(word); it != table.end()) {
            t.kind = it->second.kind;
            t.value = it->second.value;
        }
    }
    if (t.kind == Kind::Binary) // raw bytes follow
        m_p += std::min<qint64>(std::max(t.param, 0), m_end - m_p);
    return t;
}

// The byte of a \'hh escape, or -1 when cut short; only hex digits are consumed.
int Tokenizer::readHex()
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

} // namespace rtf
