#include "windows/platform/OneLineBox.h"

#include <QLineEdit>
#include <algorithm>
#include <memory>

namespace {

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0x0B) || c == QChar(0x0C) ||
           c == QChar(0x85) || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

} // namespace

void keepOneLine(QLineEdit* box)
{
    // The last two texts, to tell what the user's edit put in, whichever of the two signals of
    // the edit comes first.
    struct Texts {
        QString previous;
        QString current;
    };
    auto texts = std::make_shared<Texts>(Texts{QString(), box->text()});
    QObject::connect(box, &QLineEdit::textChanged, box, [texts](const QString& text) {
        texts->previous = texts->current;
        texts->current = text;
    });
    QObject::connect(box, &QLineEdit::textEdited, box, [box, texts](const QString& text) {
        // The edit replaced what lies between the parts it left alone at both ends.
        const QString old = texts->current == text ? texts->previous : texts->current;
        qsizetype head = 0;
        while (head < text.size() && head < old.size() && text[head] == old[head])
            ++head;
        qsizetype tail = 0;
        while (tail < text.size() - head && tail < old.size() - head &&
               text[text.size() - 1 - tail] == old[old.size() - 1 - tail])
            ++tail;
        QString inserted = text.mid(head, text.size() - head - tail);
        if (!std::any_of(inserted.cbegin(), inserted.cend(), isLineBreak))
            return;
        inserted.removeIf(isLineBreak);
        const int cursor = box->cursorPosition() - int(text.size() - head - tail - inserted.size());
        box->setText(text.left(head) + inserted + text.right(tail));
        box->setCursorPosition(std::max(cursor, 0));
    });
}
