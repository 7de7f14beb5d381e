// Times the program's load, save, sort and entry commands on lists of 1,000 to 1,000,000 entries,
// through the vault session as the program runs them, each against a floor measured in the same
// run, and prints both with their ratio. Run it through scripts/bench.sh; "--memory FILE" opens
// one file and prints its peak memory after each step.
#include "BenchData.h"
#include "core/vault/EntrySort.h"
#include "core/vault/EntryStore.h"
#include "core/vault/LineCipher.h"
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultSession.h"
#include "core/vault/VaultStorage.h"
#include "support/VaultBytes.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sodium.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace benchdata;

namespace {

constexpr int kSizes[] = {1000, 10000, 100000, 1000000};

// ---- The program's own routines ----

QString& recordFolderSetting()
{
    static QString folderOfRecords;
    return folderOfRecords;
}

QString recordFolder()
{
    return recordFolderSetting().isEmpty() ? QDir(folder()).filePath(QStringLiteral("records")) : recordFolderSetting();
}

// The session as the program has it once the gate let the master password through: opened,
// unlocked, and the conflict copies beside it merged.
std::unique_ptr<VaultSession> openVault(const QString& path)
{
    auto vault = std::make_unique<VaultSession>(path);
    vault->setRecordFolder(recordFolder());
    if (!vault->open().ok || vault->unlock(kMaster) != VaultSession::Unlock::Unlocked)
        qFatal("cannot open %s", qPrintable(path));
    vault->mergeConflictCopies(true);
    return vault;
}

void check(const VaultSession::Saved& saved)
{
    if (!saved.ok)
        qFatal("a save failed: %s", qPrintable(saved.reason));
}

// ---- Floors ----

// Reading the file into fresh memory, as a load does, and touching every byte once.
void loadFloor(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        qFatal("cannot read");
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n <= 0)
            qFatal("cannot read");
        got += n;
    }
    ::close(fd);
    cipherBytes(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
}

// Writing the bytes to a new file, on disk, in the file's place: the least an atomic save does
// (an unnamed file in the folder, named once it is on disk, then renamed over the old one).
void saveFloor(const QByteArray& bytes)
{
    const QString target = QDir(folder()).filePath(QStringLiteral("floor.enc"));
    const QByteArray temp = QFile::encodeName(target + QStringLiteral(".new"));
    const int fd = ::open(QFile::encodeName(folder()).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    qsizetype done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (fd < 0 || done != bytes.size() || ::fsync(fd) != 0 ||
        ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temp.constData(), AT_SYMLINK_FOLLOW) != 0 || ::close(fd) != 0 ||
        ::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        qFatal("cannot write the floor file");
}

// The encryption key of the sealed files, derived here as the sealed format does.
const QByteArray& rawSealKey()
{
    static const QByteArray key = [] {
        QByteArray out(64, '\0');
        const QByteArray password = kMaster.toUtf8();
        const sealedformat::Params p = sealKey()->params();
        if (crypto_pwhash(reinterpret_cast<unsigned char*>(out.data()), size_t(out.size()), password.constData(),
                          size_t(password.size()),
                          reinterpret_cast<const unsigned char*>(sealKey()->salt().constData()), p.passes,
                          size_t(p.memoryBytes), crypto_pwhash_ALG_ARGON2ID13) != 0)
            qFatal("cannot derive the key");
        return out.left(32);
    }();
    return key;
}

// Decryption alone: libsodium over the sealed bytes, in place, as a sealed load decrypts them.
void decryptFloor(QByteArray& sealed)
{
    auto* data = reinterpret_cast<unsigned char*>(sealed.data());
    const qsizetype header = sealedformat::kHeaderBytes;
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            data + header, &length, nullptr, data + header, size_t(sealed.size() - header), data, size_t(header),
            data + 58, reinterpret_cast<const unsigned char*>(rawSealKey().constData())) != 0)
        qFatal("the floor cannot decrypt");
    benchmark::ClobberMemory();
}

// Each iteration runs the floor and the case: both meet the disk and memory in the same state.
// The case's time is reported, the floor's as floor_ms.
class Paired {
public:
    // What was written before (the case's own files) goes to disk first, not during the timing.
    explicit Paired(benchmark::State& state) : m_state(state) { ::sync(); }
    ~Paired() { m_state.counters["floor_ms"] = m_floorSeconds * 1e3 / std::max<double>(1, m_state.iterations()); }
    template <class Floor>
    void floor(Floor run)
    {
        const auto start = Clock::now();
        run();
        m_floorSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    template <class Case>
    void time(Case run)
    {
        const auto start = Clock::now();
        run();
        m_state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    // Both, the floor first in one iteration and last in the next, so that neither always meets
    // what the other left (a disk still busy with its writes, memory it just freed).
    template <class Floor, class Case>
    void both(Floor floorRun, Case caseRun)
    {
        if (!m_warm) { // the disk and memory settled by a first run of each, not timed
            m_warm = true;
            floorRun();
            caseRun();
            ::sync();
        }
        m_floorFirst = !m_floorFirst;
        if (m_floorFirst)
            floor(floorRun);
        time(caseRun);
        if (!m_floorFirst)
            floor(floorRun);
    }

private:
    using Clock = std::chrono::steady_clock;
    benchmark::State& m_state;
    double m_floorSeconds = 0;
    bool m_floorFirst = false;
    bool m_warm = false;
};

// ---- Cases ----

void Load(benchmark::State& state, int count)
{
    const QString path = sourcePath(count);
    openVault(path); // this machine's record knows the file, as on every start but the first
    Paired paired(state);
    for (auto _ : state) {
        std::unique_ptr<VaultSession> vault;
        paired.both([&] { loadFloor(path); }, [&] { vault = openVault(path); });
    }
}

// A save and the commands run on a list sorted by username, as a user who clicked its header has
// it (a list as loaded is written back in one straight run from where the file's bytes lie).
std::unique_ptr<VaultSession> commandVault(int count)
{
    auto vault = openVault(dataFileOf(count, QStringLiteral("data.enc")));
    vault->sort({true, 0, Qt::AscendingOrder});
    check(vault->save());
    return vault;
}

void Save(benchmark::State& state, int count)
{
    const auto vault = commandVault(count);
    Paired paired(state);
    for (auto _ : state) {
        paired.both([&] { saveFloor(fileBytes(count)); }, [&] { check(vault->save()); });
    }
}

void Sort(benchmark::State& state, int count, int column)
{
    const QString path = sourcePath(count);
    openVault(path);
    for (auto _ : state) {
        state.PauseTiming(); // in file order, unsorted, so the click sorts from scratch
        auto vault = openVault(path);
        state.ResumeTiming();
        vault->sort({true, column, Qt::AscendingOrder});
        state.PauseTiming();
        benchmark::DoNotOptimize(vault->entries().idAt(0));
        vault.reset();
        state.ResumeTiming();
    }
}

// The least any sort of the rows by a column does: ordering them by a number each (here the
// first eight bytes of the column's text), made beforehand.
void SortFloor(benchmark::State& state, int count, int column)
{
    const auto vault = openVault(sourcePath(count));
    std::vector<std::pair<quint64, int>> keys;
    keys.reserve(size_t(vault->entries().count()));
    for (int row = 0; row < vault->entries().count(); ++row) {
        const QByteArray text = vault->entries().field(row, column).toCaseFolded().toUtf8().leftJustified(8, '\0');
        quint64 key = 0;
        for (int i = 0; i < 8; ++i)
            key = key << 8 | quint8(text[i]);
        keys.emplace_back(key, row);
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::pair<quint64, int>> work = keys;
        state.ResumeTiming();
        std::sort(work.begin(), work.end());
        benchmark::DoNotOptimize(work.data());
    }
}

void Add(benchmark::State& state, int count)
{
    const auto vault = commandVault(count);
    const Entry added = makeEntries(1, 7).front();
    Paired paired(state);
    for (auto _ : state) {
        VaultSession::Saved saved;
        paired.both([&] { saveFloor(fileBytes(count)); }, [&] { check(saved = vault->add(added)); });
        check(vault->remove(saved.row));
    }
}

void Edit(benchmark::State& state, int count)
{
    const auto vault = commandVault(count);
    const quint64 id = vault->entries().idAt(count / 2);
    const Entry before = vault->entries().at(count / 2);
    Entry after = before;
    after.password = makeEntries(1, 9).front().password;
    bool flip = false;
    Paired paired(state);
    for (auto _ : state) {
        paired.both([&] { saveFloor(fileBytes(count)); },
                    [&] {
                        flip = !flip;
                        check(vault->replace(id, flip ? before : after, flip ? after : before));
                    });
    }
}

void Delete(benchmark::State& state, int count)
{
    const auto vault = commandVault(count);
    Paired paired(state);
    for (auto _ : state) {
        const Entry entry = vault->entries().at(count / 2); // the selected row
        paired.both([&] { saveFloor(fileBytes(count)); }, [&] { check(vault->remove(count / 2)); });
        check(vault->add(entry));
    }
}

// A sealed file opened with its key at hand and read into the list; beside it, decryption alone
// and the classic file read into a list by the same routines.
void SealedLoad(benchmark::State& state, int count)
{
    const QString classic = sourcePath(count);
    const QString sealed = sealedPath(count);
    openVault(classic);
    const QByteArray sealedBytes = [&] {
        QFile f(sealed);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    Paired paired(state);
    for (auto _ : state) {
        QByteArray work = sealedBytes;
        work.detach();
        paired.floor([&] { decryptFloor(work); });
        auto floorStore = std::make_unique<EntryStore>();
        paired.floor(
            [&] { floorStore->replaceAll(vaultformat::readLines(std::move(vaultstorage::readAll(classic).value))); });
        floorStore.reset();
        auto store = std::make_unique<EntryStore>();
        paired.time([&] {
            ResultWith<QByteArray> bytes = vaultstorage::readAll(sealed);
            sealedformat::Opened opened = sealedformat::openWithKey(std::move(bytes.value), sealKey());
            if (opened.status != sealedformat::Status::Opened)
                qFatal("the sealed file does not open");
            store->replaceAll(vaultformat::readLines(std::move(opened.classic)));
        });
    }
}

// A save of a sealed vault: the whole list sealed with a fresh nonce; beside it, a classic save.
void SealedSave(benchmark::State& state, int count)
{
    const auto classic = openVault(dataFileOf(count, QStringLiteral("data.enc")));
    const auto sealed = openVault(dataFileOf(count, QStringLiteral("sealed.enc")));
    check(sealed->setSealed(true));
    Paired paired(state);
    for (auto _ : state) {
        paired.floor([&] { check(classic->save()); });
        paired.time([&] { check(sealed->save()); });
    }
}

// Deriving the key from the master password, as unlocking a sealed file does once.
void KeyDerivation(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(sealedformat::newKey(kMaster).value);
}

// A conflict copy another machine's sync left beside the file, with twenty entries of its own
// changed and added, merged into the list; beside it, loading both files.
void MergeCopy(benchmark::State& state, int count)
{
    const QString path = dataFileOf(count, QStringLiteral("merged.enc"));
    openVault(path);
    std::vector<Entry> copy = makeEntries(count);
    for (int i = 0; i < 10; ++i)
        copy[size_t(i) * (copy.size() / 10)].password = QStringLiteral("changed %1").arg(i);
    const std::vector<Entry> added = makeEntries(10, 11);
    copy.insert(copy.end(), added.begin(), added.end());
    const QString copyPath =
        QDir(folder()).filePath(QStringLiteral("merged.sync-conflict-20261211-101010-BENCHAA.enc"));
    QFile out(copyPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(fullVault(kMaster, copy)) < 0)
        qFatal("cannot write the copy");
    out.close();
    Paired paired(state);
    for (auto _ : state) {
        paired.floor([&] {
            loadFloor(path);
            loadFloor(copyPath);
        });
        state.PauseTiming();
        auto vault = std::make_unique<VaultSession>(path);
        vault->setRecordFolder(recordFolder());
        if (!vault->open().ok || vault->unlock(kMaster) != VaultSession::Unlock::Unlocked)
            qFatal("cannot open");
        state.ResumeTiming();
        paired.time([&] {
            if (vault->mergeConflictCopies(false).copies != 1)
                qFatal("the copy was not merged");
        });
    }
    QFile::remove(copyPath);
}

void Cipher(benchmark::State& state, int count)
{
    QByteArray bytes = fileBytes(count);
    for (auto _ : state) {
        cipherBytes(bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// ---- Memory ----

long rssKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Opens the file, sorts by its longest column, saves, adds an entry: the peak after each.
int memoryRun(const QString& path)
{
    const long start = rssKiB("VmRSS:");
    const auto vault = openVault(path);
    const long loaded = rssKiB("VmHWM:");
    vault->sort({true, 2, Qt::AscendingOrder});
    const long sorted = rssKiB("VmHWM:");
    check(vault->save());
    const long saved = rssKiB("VmHWM:");
    check(vault->add(makeEntries(1, 5).front()));
    const long command = rssKiB("VmHWM:");
    std::printf("%ld %ld %ld %ld %ld %lld\n", start, loaded, sorted, saved, command,
                static_cast<long long>(QFileInfo(path).size()));
    return 0;
}

// ---- Summary ----

class Collector final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // The median of repeated runs where there are some, as the disk's times vary.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || !(median || (run.run_type == Run::RT_Iteration && run.repetitions <= 1)))
                continue;
            times[run.run_name.function_name] = run.GetAdjustedRealTime() * toMs(run.time_unit);
            if (const auto floor = run.counters.find("floor_ms"); floor != run.counters.end())
                times[run.run_name.function_name + "#floor"] = floor->second.value;
        }
    }
    static double toMs(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond: return 1e-6;
        case benchmark::kMicrosecond: return 1e-3;
        case benchmark::kMillisecond: return 1.0;
        default: return 1e3;
        }
    }
    std::map<std::string, double> times;
};

std::string caseName(const std::string& what, int count)
{
    return what + "/" + std::to_string(count);
}

void registerCases()
{
    for (int count : kSizes) {
        const bool huge = count >= 1000000;
        // A paired case times itself, leaving out the floor it runs beside.
        auto registerCase = [&](const std::string& what, auto fn, bool paired) {
            auto* b = benchmark::RegisterBenchmark(caseName(what, count).c_str(), fn);
            b->Unit(benchmark::kMillisecond);
            if (paired)
                b->UseManualTime();
            else
                b->UseRealTime();
            // The median of repeated runs: one slow run (the disk, the system's memory) moves a mean.
            if (huge)
                b->Iterations(2)->Repetitions(5)->ReportAggregatesOnly(true);
            else
                b->Repetitions(3)->ReportAggregatesOnly(true);
            return b;
        };
        auto add = [&](const std::string& what, auto fn) { return registerCase(what, fn, false); };
        auto addPaired = [&](const std::string& what, auto fn) { return registerCase(what, fn, true); };
        addPaired("load", [count](benchmark::State& s) { Load(s, count); });
        addPaired("save", [count](benchmark::State& s) { Save(s, count); });
        for (int column = 0; column < 3; ++column) {
            const std::string c = std::to_string(column + 1);
            add("sort_column" + c, [count, column](benchmark::State& s) { Sort(s, count, column); });
            add("sort_column" + c + "_floor", [count, column](benchmark::State& s) { SortFloor(s, count, column); });
        }
        addPaired("add", [count](benchmark::State& s) { Add(s, count); });
        addPaired("edit", [count](benchmark::State& s) { Edit(s, count); });
        addPaired("delete", [count](benchmark::State& s) { Delete(s, count); });
        add("cipher", [count](benchmark::State& s) { Cipher(s, count); });
        addPaired("sealed_load", [count](benchmark::State& s) { SealedLoad(s, count); });
        addPaired("sealed_save", [count](benchmark::State& s) { SealedSave(s, count); });
    }
    // Last: what a merge leaves behind in the process slows the cases after it.
    auto* merge = benchmark::RegisterBenchmark(caseName("merge_copy", 100000).c_str(),
                                               [](benchmark::State& s) { MergeCopy(s, 100000); });
    merge->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3)->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("key_derivation", KeyDerivation)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
}

void printSummary(const std::map<std::string, double>& times)
{
    struct Row {
        const char* label;
        std::string what;
        std::string floor; // "#": the floor run beside the case; empty: none
    };
    const Row rows[] = {
        {"load", "load", "#"},
        {"save", "save", "#"},
        {"sort username", "sort_column1", "sort_column1_floor"},
        {"sort password", "sort_column2", "sort_column2_floor"},
        {"sort location", "sort_column3", "sort_column3_floor"},
        {"add + save", "add", "#"},
        {"edit + save", "edit", "#"},
        {"delete + save", "delete", "#"},
        {"sealed load", "sealed_load", "#"},
        {"sealed save (to classic save)", "sealed_save", "#"},
        {"merge a conflict copy (to loading both)", "merge_copy", "#"},
        {"cipher (no floor)", "cipher", ""},
    };
    std::printf("\nEach cell: the case's time / its floor's time (ratio). Floors: load, reading the file into fresh\n"
                "memory and touching every byte; save and the commands, writing the file's bytes to a new file,\n"
                "fsync and rename; sort, std::sort of the rows by a number each made beforehand; sealed load,\n"
                "decryption alone (libsodium, same bytes) plus reading the classic file into a list; merge, loading\n"
                "both files.\n\n");
    std::printf("| case | 1,000 | 10,000 | 100,000 | 1,000,000 |\n|---|---|---|---|---|\n");
    for (const Row& row : rows) {
        std::printf("| %s |", row.label);
        for (int count : kSizes) {
            const auto t = times.find(caseName(row.what, count));
            const std::string floor =
                row.floor == "#" ? caseName(row.what, count) + "#floor" : caseName(row.floor, count);
            const auto f = row.floor.empty() ? times.end() : times.find(floor);
            if (t == times.end())
                std::printf(" - |");
            else if (f == times.end() || f->second <= 0)
                std::printf(" %.3g ms |", t->second);
            else
                std::printf(" %.3g / %.3g ms (%.2f×) |", t->second, f->second, t->second / f->second);
        }
        std::printf("\n");
    }
}

void printMemory(const QString& self)
{
    const int count = kSizes[std::size(kSizes) - 1];
    const QString path = dataFileOf(count, QStringLiteral("memory.enc"));
    // The first opening on a machine records the file; the measured one is any later start.
    for (const bool measure : {false, true}) {
        QProcess child;
        child.start(self, {QStringLiteral("--memory"), path, QStringLiteral("--records"), recordFolder()});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            std::printf("\nmemory run failed\n");
            return;
        }
        if (!measure)
            continue;
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
        if (f.size() != 6)
            return;
        const double mib = 1024.0;
        const double start = f[0].toLong() / mib, file = f[5].toLongLong() / (mib * mib);
        const auto ratio = [&](int i) { return (f[i].toLong() / mib - start) / file; };
        std::printf("\nMemory, %d entries, file %.1f MiB, start-up %.1f MiB; peak above start-up, to the file: "
                    "after load %.2f ×, after sort %.2f ×, after save %.2f ×, after an add %.2f ×\n",
                    count, file, start, ratio(1), ratio(2), ratio(3), ratio(4));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Collation follows the user's locale; a common one, so the sort keys are real ones.
    QLocale::setDefault(QLocale(qEnvironmentVariable("KEYHAVEN_BENCH_LOCALE", QStringLiteral("en_US"))));
    if (argc == 5 && qstrcmp(argv[1], "--memory") == 0) {
        recordFolderSetting() = QString::fromLocal8Bit(argv[4]);
        return memoryRun(QString::fromLocal8Bit(argv[2]));
    }

    benchmark::Initialize(&argc, argv);
    registerCases();
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    printSummary(collector.times);
    if (const auto kdf = collector.times.find("key_derivation"); kdf != collector.times.end())
        std::printf("\nKey derivation of a sealed file (Argon2id, %llu passes, %llu MiB): %.0f ms, once per unlock; a\n"
                    "sealed load costs that plus the sealed load above.\n",
                    static_cast<unsigned long long>(sealedformat::defaultParams().passes),
                    static_cast<unsigned long long>(sealedformat::defaultParams().memoryBytes >> 20), kdf->second);
    std::printf("\nCollation locale: %s\n", qPrintable(QLocale().name()));
    printMemory(QCoreApplication::applicationFilePath());
    benchmark::Shutdown();
    return 0;
}
