#include "BenchData.h"

#include "core/platform/CodePage.h"
#include "support/VaultBytes.h"

#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <cstring>
#include <map>

namespace benchdata {

namespace {

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

QTemporaryDir& workDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString sourceName(int count)
{
    return workDir().filePath(QStringLiteral("source-%1.enc").arg(count));
}

} // namespace

QString folder()
{
    return workDir().path();
}

std::vector<Entry> makeEntries(int count, quint64 seed)
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
const sealedformat::KeyPtr& sealKey()
{
    static const sealedformat::KeyPtr key = sealedformat::newKey(kMaster).value;
    return key;
}

// The size's file, sealed.
QString sealedPath(int count)
{
    const QString path = workDir().filePath(QStringLiteral("sealed-%1.enc").arg(count));
    if (!QFile::exists(path)) {
        const QByteArray sealed = sealedformat::seal(fileBytes(count), *sealKey());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(sealed) != sealed.size())
            qFatal("cannot write the sealed test file");
    }
    return path;
}

} // namespace benchdata
