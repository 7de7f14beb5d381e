#include "core/vault/LineCipher.h"

#include "core/platform/CodePage.h"

void cipherBytes(char* data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i)
        data[i] = static_cast<char>(static_cast<unsigned char>(data[i]) ^ 0x80u);
}

QByteArray cipherBytes(QByteArray bytes)
{
    cipherBytes(bytes.data(), bytes.size());
    return bytes;
}

QString LineCipher(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = codepage::byteFor(text[i].unicode());
        bytes[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    cipherBytes(bytes.data(), bytes.size());
    return codepage::decode(bytes);
}
