#pragma once
// A deliberately plain reader of data.enc, to check the fast reader against: split at CR, skip
// one LF right after it, skip entry lines that are empty or a single raw blank, decipher, cut at
// the first two "|||". Slow and obvious on purpose; header-only, so the fuzzer can use it too.
#include "core/platform/CodePage.h"
#include "core/vault/Entry.h"

#include <QByteArray>
#include <QString>
#include <vector>

struct ReferenceFile {
    QString firstLine;
    std::vector<Entry> entries;
    int damagedLines = 0;
};

inline QString referenceDecipher(const QByteArray& raw)
{
    QByteArray plain = raw;
    for (char& c : plain)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ 0x80u);
    return codepage::decode(plain);
}

inline ReferenceFile referenceRead(QByteArrayView bytes)
{
    std::vector<QByteArray> lines;
    QByteArray line;
    bool open = false; // characters since the last line end
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            lines.push_back(line);
            line.clear();
            open = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            line.append(bytes[i]);
            open = true;
        }
    }
    if (open)
        lines.push_back(line);

    ReferenceFile file;
    for (size_t n = 0; n < lines.size(); ++n) {
        if (n == 0) {
            file.firstLine = referenceDecipher(lines[0]);
            continue;
        }
        if (lines[n].isEmpty() || lines[n] == " ")
            continue;
        const QString text = referenceDecipher(lines[n]);
        const QString separator = QStringLiteral("|||");
        Entry entry;
        const qsizetype one = text.indexOf(separator);
        const qsizetype two = one < 0 ? -1 : text.indexOf(separator, one + 3);
        if (one < 0) {
            entry.username = text;
        } else if (two < 0) {
            entry.username = text.left(one);
            entry.password = text.mid(one + 3);
        } else {
            entry.username = text.left(one);
            entry.password = text.mid(one + 3, two - one - 3);
            entry.location = text.mid(two + 3);
        }
        if (two < 0)
            ++file.damagedLines;
        file.entries.push_back(entry);
    }
    return file;
}
