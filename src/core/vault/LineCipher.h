#pragma once
#include <QByteArray>

// The data file's per-character scramble: the top bit of every code-page byte is inverted.
// It is its own inverse. This hides text from a glance; it is not encryption.
void cipherBytes(char* data, qsizetype size);
QByteArray cipherBytes(QByteArray bytes);
