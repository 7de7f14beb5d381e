#pragma once
#include <QByteArray>
#include <QString>

// The data file's per-character scramble: the top bit of every code-page byte is inverted.
// It is its own inverse. This hides text from a glance; it is not encryption.
void cipherBytes(char* data, qsizetype size);
QByteArray cipherBytes(QByteArray bytes);

// The same on text, through the Windows-1252 code page. A character the code page
// cannot hold becomes "?" first, as the platform's conversion would do.
QString LineCipher(const QString& text);
