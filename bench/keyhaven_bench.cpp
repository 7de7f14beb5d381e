// Times the program's load, save, sort and entry commands on lists of 1,000 to 1,000,000
// entries, each against a floor measured in the same run, then prints the ratios.
// Run it through scripts/bench.sh; "--memory FILE" loads one file and prints its peak memory.
#include "core/platform/CodePage.h"
#include "core/vault/EntrySort.h"
#include "core/vault/EntryStore.h"
#include "core/vault/LineCipher.h"
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFile.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"
#include "support/VaultBytes.h"

#include <benchmark/benchmark.h>

#include <QCollator>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString kMaster = QStringLiteral("correct horse");
constexpr int kSizes[] = {1000, 10000, 100000, 1000000};

// ---- The program's own routines, as the start-up and every change run them ----

void loadList(EntryStore& store, const QString& path)
{
    vaultfile::Read read = vaultfile::read(path);
    if (!read.ok)
        qFatal("cannot read %s", qPrintable(path));
    store.replaceAll(vaultformat::readLines(std::move(read.value)));
}

void saveList(const EntryStore& store, const QString& path)
{
    if (!vaultstorage::saveAtomically(path, vaultfile::fileFor(kMaster, store)).ok)
        qFatal("cannot save %s", qPrintable(path));
}

// A header click on a column: sorting on, by that column, the other way than before.
void sortBy(EntryStore& store, EntrySort& sort, int column)
{
    const Qt::SortOrder order = sort.settings().order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    if (sort.change({true, column, order}, store.count()))
        store.reorder(sort.sortedOrder(store));
}

// ---- Test data ----

// Deterministic on every platform, unlike the standard distributions.
class Random {
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<quint64>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }

private:
    quint64 m_state;
};

const std::array<QChar, 256>& codePageChars()
{
    static const std::array<QChar, 256> chars = [] {
        std::array<QChar, 256> c{};
        for (int b = 0; b < 256; ++b)
            c[b] = codepage::decode(QByteArray(1, static_cast<char>(b))).at(0);
        return c;
    }();
    return chars;
}

// Mostly letters and digits; one character in twelve from anywhere in the code page but
// U+008D, which the editor refuses.
QChar randomChar(Random& rng, const char* common)
{
    if (rng.below(12) == 0) {
        for (;;) {
            const QChar ch = codePageChars()[rng.below(256)];
            if (ch.unicode() != 0x8D)
                return ch;
        }
    }
    const int n = static_cast<int>(std::strlen(common));
    return QLatin1Char(common[rng.below(n)]);
}

// Username and password may not hold "|||" nor end with "|": no two bars in a row, none last.
QString credential(Random& rng, int length)
{
    static const char* common = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.-";
    QString text;
    text.reserve(length);
    for (int i = 0; i < length; ++i) {
        QChar ch = randomChar(rng, common);
        if (ch == QLatin1Char('|') && (i == length - 1 || text.endsWith(QLatin1Char('|'))))
            ch = QLatin1Char('x');
        text.append(ch);
    }
    return text;
}

QString location(Random& rng, int length)
{
    static const char* common = "abcdefghijklmnopqrstuvwxyz0123456789-./";
    QString text = QStringLiteral("https://");
    while (text.size() < length)
        text.append(randomChar(rng, common));
    text.truncate(length);
    return text;
}

std::vector<Entry> makeEntries(int count, quint64 seed = 42)
{
    Random rng(seed);
    std::vector<Entry> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        Entry e;
        e.username = credential(rng, rng.between(8, 30));
        e.password = credential(rng, rng.between(10, 24));
        e.location = location(rng, rng.between(15, 60));
        entries.push_back(std::move(e));
    }
    return entries;
}

// One folder for the run's files, and each size's data file written once.
QTemporaryDir& workDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString sourceName(int count)
{
    return workDir().filePath(QStringLiteral("source-%1.enc").arg(count));
}

const QByteArray& fileBytes(int count)
{
    static std::map<int, QByteArray> cache;
    auto it = cache.find(count);
    if (it == cache.end()) {
        it = cache.emplace(count, fullVault(kMaster, makeEntries(count))).first;
        QFile file(sourceName(count));
        if (!file.open(QIODevice::WriteOnly) || file.write(it->second) != it->second.size())
            qFatal("cannot write the test file");
    }
    return it->second;
}

QString sourcePath(int count)
{
    fileBytes(count);
    return sourceName(count);
}

// A fresh copy of the size's file as data.enc, for cases that save over it.
QString dataFileOf(int count, const QString& name)
{
    const QString path = workDir().filePath(name);
    QFile::remove(path);
    if (!QFile::copy(sourcePath(count), path))
        qFatal("cannot copy the test file");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

// The key of the sealed files, derived once: its cost is a case of its own.
const sealedformat::Key& sealKey()
{
    static const sealedformat::KeyPtr key = sealedformat::newKey(kMaster).value;
    return *key;
}

// The size's file, sealed.
QString sealedPath(int count)
{
    const QString path = workDir().filePath(QStringLiteral("sealed-%1.enc").arg(count));
    if (!QFile::exists(path)) {
        const QByteArray sealed = sealedformat::seal(fileBytes(count), sealKey());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(sealed) != sealed.size())
            qFatal("cannot write the sealed test file");
    }
    return path;
}

// The list as the program has it, filled from the size's file.
struct LoadedList {
    explicit LoadedList(int count)
    {
        // Before the first click the list reads as descending, so that click sorts ascending.
        sort.change({false, 0, Qt::DescendingOrder}, 0);
        loadList(store, sourcePath(count));
    }
    EntryStore store;
    EntrySort sort;
};

QCollator listCollator()
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    return collator;
}

// ---- Floors ----

void loadFloor(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read");
    QByteArray bytes = file.readAll();
    char* p = bytes.data();
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i)
        p[i] = static_cast<char>(p[i] ^ 0x80);
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
}

void saveFloor(const QByteArray& bytes)
{
    const QByteArray path = QFile::encodeName(workDir().filePath(QStringLiteral("floor.enc")));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    qsizetype done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (fd < 0 || done != bytes.size() || ::fsync(fd) != 0 || ::close(fd) != 0)
        qFatal("cannot write the floor file");
}

// Each iteration runs the floor, then the case: both meet the disk in the same state, which
// drifts as other programs use it. The case's time is reported, the floor's as floor_ms;
// whatever the case does before or after its timed part stays out of both.
class Paired {
public:
    explicit Paired(benchmark::State& state) : m_state(state) {}
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

private:
    using Clock = std::chrono::steady_clock;
    benchmark::State& m_state;
    double m_floorSeconds = 0;
};

// ---- Cases ----

void Load(benchmark::State& state, int count)
{
    const QString path = sourcePath(count);
    Paired paired(state);
    for (auto _ : state) {
        paired.floor([&] { loadFloor(path); });
        auto store = std::make_unique<EntryStore>(); // the program's list exists before the load
        paired.time([&] { loadList(*store, path); });
    }
}

void Save(benchmark::State& state, int count)
{
    EntryStore store;
    loadList(store, sourcePath(count));
    const QString path = dataFileOf(count, QStringLiteral("data.enc"));
    const QByteArray& bytes = fileBytes(count);
    Paired paired(state);
    for (auto _ : state) {
        paired.floor([&] { saveFloor(bytes); });
        paired.time([&] { saveList(store, path); });
    }
}

// A sealed file opened with its key at hand and read into the list; beside it, the classic load.
void SealedLoad(benchmark::State& state, int count)
{
    const QString classic = sourcePath(count);
    const QString sealed = sealedPath(count);
    static const sealedformat::KeyPtr key = [] {
        const QByteArray file = [] {
            QFile f(sealedPath(1000));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        return sealedformat::keyFor(kMaster, sealedformat::readHeader(file).value).value;
    }();
    Paired paired(state);
    for (auto _ : state) {
        auto floorStore = std::make_unique<EntryStore>();
        paired.floor([&] { loadList(*floorStore, classic); });
        auto store = std::make_unique<EntryStore>();
        paired.time([&] {
            ResultWith<QByteArray> bytes = vaultstorage::readAll(sealed);
            sealedformat::Opened opened = sealedformat::openWithKey(std::move(bytes.value), key);
            if (opened.status != sealedformat::Status::Opened)
                qFatal("the sealed file does not open");
            store->replaceAll(vaultformat::readLines(std::move(opened.classic)));
        });
    }
}

// The whole list sealed with a fresh nonce and saved atomically; beside it, the classic save.
void SealedSave(benchmark::State& state, int count)
{
    EntryStore store;
    loadList(store, sourcePath(count));
    const QString classicPath = dataFileOf(count, QStringLiteral("data.enc"));
    const QString path = dataFileOf(count, QStringLiteral("sealed.enc"));
    Paired paired(state);
    for (auto _ : state) {
        paired.floor([&] { saveList(store, classicPath); });
        paired.time([&] {
            if (!vaultstorage::saveAtomically(path, sealedformat::seal(vaultfile::fileFor(kMaster, store), sealKey()))
                     .ok)
                qFatal("cannot save the sealed file");
        });
    }
}

// Deriving the key from the master password, as unlocking a sealed file does once.
void KeyDerivation(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(sealedformat::newKey(kMaster).value);
}

void Sort(benchmark::State& state, int count, int column)
{
    for (auto _ : state) {
        state.PauseTiming(); // back to file order, unsorted, so the click sorts from scratch
        LoadedList list(count);
        state.ResumeTiming();
        sortBy(list.store, list.sort, column);
        state.PauseTiming();
        benchmark::DoNotOptimize(list.store.idAt(0));
        state.ResumeTiming();
    }
}

void SortFloor(benchmark::State& state, int count, int column)
{
    LoadedList list(count);
    std::vector<QString> texts;
    texts.reserve(list.store.count());
    for (int row = 0; row < list.store.count(); ++row)
        texts.push_back(list.store.field(row, column).toCaseFolded());
    const QCollator collator = listCollator();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<QString> work = texts;
        state.ResumeTiming();
        std::sort(work.begin(), work.end(),
                  [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
        benchmark::DoNotOptimize(work.data());
    }
}

// The commands run on a list sorted by username, as a user who clicked its header has it.
struct CommandList : LoadedList {
    explicit CommandList(int count) : LoadedList(count)
    {
        sortBy(store, sort, 0);
        path = dataFileOf(count, QStringLiteral("data.enc"));
    }
    QString path;
};

void Add(benchmark::State& state, int count)
{
    CommandList list(count);
    EntryStore& store = list.store;
    const Entry added = makeEntries(1, 7).front();
    Paired paired(state);
    for (auto _ : state) {
        paired.floor([&] { saveFloor(fileBytes(count)); });
        int row = 0;
        paired.time([&] {
            row = list.sort.insertPosition(store, added);
            store.insert(row, added);
            saveList(store, list.path);
        });
        store.remove(row);
    }
}

void Edit(benchmark::State& state, int count)
{
    CommandList list(count);
    EntryStore& store = list.store;
    const int row = count / 2;
    const quint64 id = store.idAt(row);
    const Entry before = store.at(row);
    Entry after = before;
    after.password = makeEntries(1, 9).front().password;
    bool flip = false;
    Paired paired(state);
    for (auto _ : state) {
        paired.floor([&] { saveFloor(fileBytes(count)); });
        paired.time([&] {
            store.setEntry(store.rowOfId(id), (flip = !flip) ? after : before);
            saveList(store, list.path);
        });
    }
}

void Delete(benchmark::State& state, int count)
{
    CommandList list(count);
    EntryStore& store = list.store;
    Paired paired(state);
    for (auto _ : state) {
        paired.floor([&] { saveFloor(fileBytes(count)); });
        const quint64 id = store.idAt(count / 2); // the selected row
        Entry entry;
        paired.time([&] {
            const int row = store.rowOfId(id);
            entry = store.at(row);
            store.remove(row);
            saveList(store, list.path);
        });
        const int back = list.sort.insertPosition(store, entry);
        store.insert(back, entry);
    }
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

// ---- Memory of one load ----

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

// Loads the file into the list, then sorts and saves it, printing the peak after each.
int memoryRun(const QString& path)
{
    EntryStore store;
    EntrySort sort;
    const long start = rssKiB("VmRSS:");
    loadList(store, path);
    const long loaded = rssKiB("VmHWM:");
    sortBy(store, sort, 2);
    const long sorted = rssKiB("VmHWM:");
    saveList(store, path);
    const long saved = rssKiB("VmHWM:");
    std::printf("%ld %ld %ld %ld %lld\n", start, loaded, sorted, saved, static_cast<long long>(QFileInfo(path).size()));
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
            if (huge)
                b->Iterations(3);
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
        std::string floor;
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
        {"cipher (no floor)", "cipher", ""},
        {"sealed load (to classic load)", "sealed_load", "#"},
        {"sealed save (to classic save)", "sealed_save", "#"},
    };
    std::printf("\nTime in ms and ratio to the floor (load: read + invert top bits; save: write + fsync;\n"
                "sort: std::sort of the column's texts with the list's collator; commands: the save floor).\n"
                "Sorts and commands are the entry store's own work, without a list view.\n\n");
    std::printf("| case | %s |\n|---|", "1,000 | 10,000 | 100,000 | 1,000,000");
    for (size_t i = 0; i < std::size(kSizes); ++i)
        std::printf("---|");
    std::printf("\n");
    for (const Row& row : rows) {
        std::printf("| %s |", row.label);
        for (int count : kSizes) {
            const auto t = times.find(caseName(row.what, count));
            // "#": the floor run beside the case in each iteration
            const std::string floor =
                row.floor == "#" ? caseName(row.what, count) + "#floor" : caseName(row.floor, count);
            const auto f = row.floor.empty() ? times.end() : times.find(floor);
            if (t == times.end())
                std::printf(" - |");
            else if (f == times.end() || f->second <= 0)
                std::printf(" %.3g ms |", t->second);
            else
                std::printf(" %.3g ms (%.2f×) |", t->second, t->second / f->second);
        }
        std::printf("\n");
    }
}

void printMemory(const QString& self)
{
    const int count = kSizes[std::size(kSizes) - 1];
    const QString path = dataFileOf(count, QStringLiteral("memory.enc"));
    QProcess child;
    child.start(self, {QStringLiteral("--memory"), path});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::printf("\nmemory run failed\n");
        return;
    }
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    if (f.size() != 5)
        return;
    const double mib = 1024.0;
    const double start = f[0].toLong() / mib, loaded = f[1].toLong() / mib, sorted = f[2].toLong() / mib,
                 saved = f[3].toLong() / mib, file = f[4].toLongLong() / (mib * mib);
    std::printf("\nMemory, %d entries, file %.1f MiB: start-up %.1f MiB; peak after load %.1f MiB "
                "(%.2f × file above start-up), after sort %.1f MiB (%.2f ×), after save %.1f MiB (%.2f ×)\n",
                count, file, start, loaded, (loaded - start) / file, sorted, (sorted - start) / file, saved,
                (saved - start) / file);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Collation follows the user's locale; a common one, so the sort keys are real ones.
    QLocale::setDefault(QLocale(qEnvironmentVariable("KEYHAVEN_BENCH_LOCALE", QStringLiteral("en_US"))));
    if (argc == 3 && qstrcmp(argv[1], "--memory") == 0)
        return memoryRun(QString::fromLocal8Bit(argv[2]));

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
