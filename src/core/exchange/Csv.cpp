#include "core/exchange/Csv.h"

#include <QStringDecoder>

namespace csv {

ResultWith<std::vector<Record>> read(QByteArrayView utf8)
{
    if (utf8.startsWith("\xEF\xBB\xBF"))
        utf8 = utf8.sliced(3);
    ResultWith<std::vector<Record>> read;
    std::vector<Record>& records = read.value;
    QByteArray field;
    Record record;
    int line = 1;
    record.line = line;
    bool quoted = false;   // inside a quoted field
    int quoteLine = 0;     // where it began
    bool anything = false; // the record has begun
    // A field's text as it is, a U+FEFF at its start included: only the file's first bytes are a
    // byte-order mark.
    QStringDecoder decode(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const auto endField = [&] {
        record.fields.append(decode(field));
        field.clear();
    };
    const auto endRecord = [&] {
        endField();
        // A line with nothing on it is no record.
        if (!(record.fields.size() == 1 && record.fields[0].isEmpty() && !anything))
            records.push_back(std::move(record));
        record = Record();
        record.line = line;
        anything = false;
    };
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < utf8.size() && utf8[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            quoteLine = line;
            anything = true;
        } else if (c == ',') {
            endField();
            anything = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
            ++line;
            endRecord();
        } else {
            field += c;
            anything = true;
        }
    }
    // Read on, the rest of the file would be one field: the records it holds would be lost in it.
    if (quoted)
        return {Result::failure(QStringLiteral("line %1: a quoted field is not closed").arg(quoteLine))};
    if (anything || !field.isEmpty())
        endRecord();
    return read;
}

QByteArray write(const std::vector<QStringList>& records)
{
    QByteArray out;
    for (const QStringList& record : records) {
        for (qsizetype i = 0; i < record.size(); ++i) {
            if (i > 0)
                out += ',';
            const QByteArray text = record[i].toUtf8();
            // Quoted when it holds what would end it, or blanks a reader might trim.
            const bool quote = text.contains(',') || text.contains('"') || text.contains('\n') || text.contains('\r') ||
                               text.startsWith(' ') || text.endsWith(' ') || text.startsWith("\xEF\xBB\xBF");
            if (quote) {
                QByteArray doubled = text;
                doubled.replace("\"", "\"\"");
                out += '"' + doubled + '"';
            } else {
                out += text;
            }
        }
        out += "\r\n";
    }
    return out;
}

} // namespace csv
