// Arbitrary bytes read as a CSV file to import: the reader and the import never fail hard, and
// what is read is written and read back the same.
#include "core/exchange/Csv.h"
#include "core/exchange/ImportCsv.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ResultWith<std::vector<csv::Record>> read = csv::read(bytes);
    importcsv::entries(bytes);
    if (!read.ok)
        return 0; // refused with its line: nothing to write back
    const std::vector<csv::Record>& records = read.value;
    // A record of one empty field is an empty line once written, which is no record.
    std::vector<QStringList> kept;
    for (const csv::Record& r : records) {
        if (!(r.fields.size() == 1 && r.fields[0].isEmpty()))
            kept.push_back(r.fields);
    }
    const ResultWith<std::vector<csv::Record>> readAgain = csv::read(csv::write(kept));
    if (!readAgain.ok)
        std::abort(); // what was written reads back
    const std::vector<csv::Record>& again = readAgain.value;
    if (again.size() != kept.size())
        std::abort();
    for (size_t i = 0; i < kept.size(); ++i) {
        if (again[i].fields != kept[i])
            std::abort();
    }
    return 0;
}
