#pragma once
#include <QByteArrayView>

class QTextDocument;

// Reads RTF into a document, replacing what it held; what cannot be read is skipped, never fatal.
// Damaged or cut-off input gives the text read up to the damage. So that the document always lays
// out quickly, a run of text without a place to break a line is cut after 500 characters, and
// reading stops once the text is far taller than any help needs. Returns false when text was cut.
bool readRtf(QByteArrayView rtf, QTextDocument& document);
