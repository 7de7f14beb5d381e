#pragma once
#include <QByteArrayView>
#include <string_view>

// RTF as a stream of tokens: group braces, control words (looked up in the table of the words the
// help reader knows), control symbols and text bytes. Line ends and other control bytes between
// tokens are skipped; the raw bytes after \bin are passed over, never read as braces or words.
namespace rtf {

// Packed by hand: one name a line would make these tables pages long.
// clang-format off
enum class Kind {
    Unknown, SkipDest, FontTable, ColorTable, CodePage, DefaultFont, Paragraph, Character, ParagraphReset,
    Align, Bold, Italic, Underline, UnderlineOff, Plain, FontSize, Font, FontColor, Charset, Family,
    Red, Green, Blue, Unicode, FallbackCount, Binary, SpaceBefore, SpaceAfter, LeftIndent,
    RightIndent, FirstIndent
};
// clang-format on

struct Token {
    enum class Type { End, OpenGroup, CloseGroup, Word, Symbol, Text };
    Type type = Type::End;
    Kind kind = Kind::Unknown; // Word: what the word is; Binary after its bytes were passed over
    int value = 0;             // Word: the table's value for it (a character, an alignment, a family)
    bool overlong = false;     // Word: longer than any word RTF has; it counts for nothing
    bool hasParam = false;     // Word
    int param = 0;             // Word: its number, bounded
    char symbol = 0;           // Symbol: the character after the backslash
    int hex = -1;              // Symbol \': the byte, or -1 when cut short
    unsigned char byte = 0;    // Text
};

class Tokenizer {
public:
    explicit Tokenizer(QByteArrayView rtf) : m_p(rtf.data()), m_end(rtf.data() + rtf.size()) {}
    Token next();
    bool atEnd() const { return m_p >= m_end; }

private:
    Token controlSequence();
    int readHex();

    const char* m_p;
    const char* m_end;
};

} // namespace rtf
