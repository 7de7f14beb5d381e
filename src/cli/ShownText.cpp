#include "cli/ShownText.h"

namespace cli {

QString shown(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20)
            out += QChar(char16_t(0x2400 + u)); // the control pictures block
        else if (u == 0x7F)
            out += QChar(char16_t(0x2421));
        else if (u >= 0x80 && u < 0xA0)
            out += QChar(char16_t(0xFFFD));
        else
            out += c;
    }
    return out;
}

} // namespace cli
