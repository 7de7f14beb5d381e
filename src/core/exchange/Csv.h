#pragma once
#include "core/platform/Result.h"

#include <QByteArray>
#include <QStringList>
#include <vector>

// Comma-separated values as RFC 4180 has them, in UTF-8: fields in double quotes may hold commas,
// quotes (doubled) and line breaks. Reading takes CR LF or LF line ends and skips a byte-order
// mark, and fails when a quoted field is not closed ("line N: ..."); writing quotes every field
// that needs it and ends each record with CR LF.
namespace csv {

struct Record {
    QStringList fields;
    int line = 0; // the line of the file where the record starts, from 1
};

ResultWith<std::vector<Record>> read(QByteArrayView utf8);
QByteArray write(const std::vector<QStringList>& records);

} // namespace csv
