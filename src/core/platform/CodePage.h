#pragma once
#include "core/platform/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

// Windows-1252, fixed on every system so that a data file moves between machines unchanged.
// Every byte 0..255 decodes to one character that encodes back to the same byte; the five
// codes the code page leaves unassigned decode to the C1 control of the same value.
namespace codepage {

QString decode(QByteArrayView bytes);

// The byte for one character, or -1 when the code page cannot hold it.
int byteFor(char16_t ch);

// Encodes text; fails, naming the character, when the code page cannot hold one.
ResultWith<QByteArray> encode(QStringView text);

// The first character the code page cannot hold, or -1 when all can be held.
qsizetype firstUnencodable(QStringView text);

} // namespace codepage
