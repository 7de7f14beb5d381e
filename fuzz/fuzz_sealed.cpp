// Arbitrary bytes as a sealed data file: the header reader and the opening never fail hard, and
// never give back contents that were not sealed. The first byte chooses: read the rest as a file,
// or seal the rest, change one byte of the seal and open it again.
#include "core/vault/SealedFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

const sealedformat::KeyPtr& fixedKey()
{
    // Made once, from a fixed salt: the key derivation is far too slow to run per input.
    static const sealedformat::KeyPtr key = [] {
        sealedformat::Header header;
        header.params = sealedformat::minimumParams();
        header.salt = QByteArray(16, 's');
        return sealedformat::keyFor(QStringLiteral("master"), header).value;
    }();
    return key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || !fixedKey())
        return 0;
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    if (data[0] % 2 == 0) {
        sealedformat::readHeader(rest);
        sealedformat::openWithKey(rest.toByteArray(), fixedKey());
        return 0;
    }
    QByteArray sealed = sealedformat::seal(rest.toByteArray(), *fixedKey());
    const sealedformat::Opened whole = sealedformat::openWithKey(sealed, fixedKey());
    if (whole.status != sealedformat::Status::Opened || whole.classic != rest)
        std::abort();
    const qsizetype at = rest.isEmpty() ? 0 : qsizetype(quint8(rest[0])) * 7 % sealed.size();
    sealed[at] = char(sealed[at] ^ (rest.size() > 1 ? (quint8(rest[1]) | 1) : 1));
    if (sealedformat::openWithKey(sealed, fixedKey()).status == sealedformat::Status::Opened)
        std::abort();
    return 0;
}
