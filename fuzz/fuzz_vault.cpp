// Arbitrary bytes read as data.enc. Reading must never fail, and every entry read, damaged
// lines' too, comes back unchanged from a save, whichever way the file is written.
#include "core/vault/EntrySort.h"
#include "core/vault/EntryStore.h"
#include "core/vault/VaultFile.h"
#include "core/vault/VaultFormat.h"
#include "support/ReferenceReader.h"
#include "support/VaultBytes.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const vaultformat::Contents contents = vaultformat::parse(bytes);
    require(vaultformat::firstLine(bytes) == contents.firstLine, "firstLine differs from parse");
    require(contents.damagedLines >= 0 && size_t(contents.damagedLines) <= contents.entries.size(),
            "more damaged lines than entries");
    // The fast reader reads what the plain one does.
    const ReferenceFile plain = referenceRead(bytes);
    require(plain.firstLine == contents.firstLine, "first line differs from the plain reader's");
    require(plain.entries == contents.entries, "entries differ from the plain reader's");
    require(plain.damagedLines == contents.damagedLines, "damaged lines differ from the plain reader's");

    // Damaged lines too: what was read is what a save keeps.
    const QByteArray saved = fullVault(contents.firstLine, contents.entries);
    const vaultformat::Contents back = vaultformat::parse(saved);
    require(back.firstLine == contents.firstLine, "master password changed by a save");
    require(back.entries == contents.entries, "entries changed by a save");
    require(back.damagedLines <= contents.damagedLines, "a save damaged a line");
    require(fullVault(back.firstLine, back.entries) == saved, "a second save differs");

    // Field bytes as read, written span by span, give the same file.
    const vaultformat::FileLines lines = vaultformat::readLines(bytes.toByteArray());
    QByteArray written;
    // Pieces of one line at a time, the smallest the writer is ever handed, and in between it.
    vaultformat::FileWriter writer(lines.firstLine, [&written](QByteArrayView piece) {
        written.append(piece);
        return true;
    });
    for (const vaultformat::EntrySpan& span : lines.spans) {
        if (span.sizes[0] == vaultformat::kOversized)
            writer.add(lines.oversized[span.start]);
        else
            writer.add(vaultformat::spanField(lines.bytes, span, 0), vaultformat::spanField(lines.bytes, span, 1),
                       vaultformat::spanField(lines.bytes, span, 2));
    }
    require(writer.finish() && written == saved, "writing field bytes differs from writing entries");

    // The list's store, which copies whole lines where it can: as loaded, and after a sort has
    // rebuilt its storage.
    EntryStore store;
    store.replaceAll(vaultformat::readLines(bytes.toByteArray()));
    require(vaultfile::fileFor(contents.firstLine, store) == saved,
            "the list writes another file than its entries make");
    EntrySort sort;
    if (sort.change({true, 0, Qt::AscendingOrder}, store.count()))
        store.reorder(sort.sortedOrder(store));
    require(vaultfile::fileFor(contents.firstLine, store) == fullVault(contents.firstLine, store.entries()),
            "a sorted list writes another file");
    return 0;
}
