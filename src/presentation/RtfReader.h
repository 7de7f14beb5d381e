#pragma once
#include <QByteArrayView>

class QTextDocument;

// Reads RTF into a document, replacing what it held; what cannot be read is skipped, never fatal.
// Damaged or cut-off input gives the text read up to the damage.
void readRtf(QByteArrayView rtf, QTextDocument& document);
