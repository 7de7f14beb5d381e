#include "core/vault/LineCipher.h"

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
