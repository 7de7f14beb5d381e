// Arbitrary bytes read as data.enc. Reading must never fail, and every entry the editor could
// have typed comes back unchanged from a save.
#include "vault/VaultFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool editorAccepts(const Entry& e)
{
    return vaultformat::problemWithField(e.username, false).isEmpty() &&
           vaultformat::problemWithField(e.password, false).isEmpty() &&
           vaultformat::problemWithField(e.location, true).isEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const vaultformat::Contents contents = vaultformat::parse(bytes);
    require(vaultformat::firstLine(bytes) == contents.firstLine, "firstLine differs from parse");
    require(contents.damagedLines >= 0 && size_t(contents.damagedLines) <= contents.entries.size(),
            "more damaged lines than entries");

    std::vector<Entry> kept;
    for (const Entry& e : contents.entries) {
        if (editorAccepts(e))
            kept.push_back(e);
    }
    const QByteArray saved = vaultformat::fullVault(contents.firstLine, kept);
    const vaultformat::Contents back = vaultformat::parse(saved);
    require(back.firstLine == contents.firstLine, "master password changed by a save");
    require(back.entries == kept, "entries changed by a save");
    require(back.damagedLines == 0, "a save wrote a damaged line");
    require(vaultformat::fullVault(back.firstLine, back.entries) == saved, "a second save differs");
    return 0;
}
