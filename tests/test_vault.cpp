// The data file without windows: code page, cipher, the file's shapes, reading rules, storage.
#include "core/platform/CodePage.h"
#include "core/vault/DiskState.h"
#include "core/vault/EntryRules.h"
#include "core/vault/LineCipher.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"
#include "support/ReferenceReader.h"
#include "support/VaultBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

Q_DECLARE_METATYPE(std::vector<Entry>)

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

bool isRoot()
{
    return ::geteuid() == 0;
}

// Plain text as the file holds it: every byte with its top bit flipped (line ends are not).
QByteArray enciphered(QByteArray plain)
{
    for (char& c : plain)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ 0x80u);
    return plain;
}

} // namespace

class TestVault : public QObject {
    Q_OBJECT
private slots:
    void cipher_data();
    void cipher();
    void everyByteRoundTrips();
    void fileShapes_data();
    void fileShapes();
    void reading_data();
    void reading();
    void savedLinesReadBack();
    void fastReaderMatchesThePlainOne_data();
    void fastReaderMatchesThePlainOne();
    void twoStretchesMatchThePlainOne_data();
    void twoStretchesMatchThePlainOne();
    void linesFewerThanTheirStartPromises();
    void fieldProblems_data();
    void fieldProblems();
    void fileNamePart_data();
    void fileNamePart();
    void ensureCreatesOwnerOnlyEmptyLine();
    void fileExistsOnlyForFiles();
    void readsWholeFilesAndTellsThemApart_data();
    void readsWholeFilesAndTellsThemApart();
    void saveReplacesAtomicallyAndKeepsPermissions();
    void saveFailuresLeaveOldFile_data();
    void saveFailuresLeaveOldFile();
    void fieldsPastFourGigabytesAddUp();
};

void TestVault::cipher_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("abc") << QStringLiteral("abc") << hex("E1E2E3");
    QTest::newRow("separator") << QStringLiteral("|||") << hex("FCFCFC");
    QTest::newRow("e acute is stored as i") << QStringLiteral("\u00e9") << QByteArray("i");
    QTest::newRow("i is stored as e acute") << QStringLiteral("i") << hex("E9");
    QTest::newRow("code 138 becomes LF") << QStringLiteral("\u0160") << hex("0A");
    QTest::newRow("euro becomes byte 0") << QStringLiteral("\u20ac") << hex("00");
    QTest::newRow("unassigned 0x81 kept") << QStringLiteral("\u0081") << hex("01");
}

void TestVault::cipher()
{
    QFETCH(QString, plain);
    QFETCH(QByteArray, stored);
    const ResultWith<QByteArray> bytes = codepage::encode(plain);
    QVERIFY(bytes.ok);
    QCOMPARE(cipherBytes(bytes.value), stored);
    QCOMPARE(cipherBytes(cipherBytes(bytes.value)), bytes.value);
    QCOMPARE(codepage::decode(cipherBytes(stored)), plain);
}

void TestVault::everyByteRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = codepage::decode(all);
    QCOMPARE(text.size(), 256);
    const ResultWith<QByteArray> back = codepage::encode(text);
    QVERIFY(back.ok);
    QCOMPARE(back.value, all);
    QCOMPARE(codepage::byteFor(0x0080), -1); // not a Windows-1252 character
    QCOMPARE(codepage::byteFor(0x4e2d), -1);
}

void TestVault::fileShapes_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("missing file") << vaultformat::emptyFile() << hex("0D0A");
    QTest::newRow("password only") << vaultformat::passwordOnly(QStringLiteral("abc")) << hex("E1E2E30D0A");
    QTest::newRow("empty list") << fullVault(QStringLiteral("abc"), {}) << hex("E1E2E30D0A0D0A");
    QTest::newRow("one entry, empty location")
        << fullVault(QStringLiteral("abc"), {{QStringLiteral("a"), QStringLiteral("b"), {}}})
        << hex("E1E2E30D0A"
               "E1FCFCFCE2FCFCFC0D0A"
               "0D0A");
    QTest::newRow("two entries in list order")
        << fullVault(QStringLiteral("i"), {{QStringLiteral("b"), QStringLiteral("b"), QStringLiteral("c")},
                                           {QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("a")}})
        << hex("E90D0A"
               "E2FCFCFCE2FCFCFCE30D0A"
               "E1FCFCFCE1FCFCFCE10D0A"
               "0D0A");
}

void TestVault::fileShapes()
{
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, expected);
    QCOMPARE(written.toHex(' '), expected.toHex(' '));
}

void TestVault::reading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<std::vector<Entry>>("entries");
    QTest::addColumn<int>("damaged");
    const QString a = QStringLiteral("a"), b = QStringLiteral("b"), c = QStringLiteral("c");
    QTest::newRow("zero bytes") << QByteArray() << QString() << std::vector<Entry>{} << 0;
    QTest::newRow("only CR LF") << hex("0D0A") << QString() << std::vector<Entry>{} << 0;
    QTest::newRow("password only") << hex("E1E2E30D0A") << QStringLiteral("abc") << std::vector<Entry>{} << 0;
    QTest::newRow("empty list") << hex("E10D0A0D0A") << a << std::vector<Entry>{} << 0;
    QTest::newRow("one entry") << hex("E10D0AE1FCFCFCE2FCFCFCE30D0A0D0A") << a << std::vector<Entry>{{a, b, c}} << 0;
    QTest::newRow("empty location") << hex("E10D0AE1FCFCFCE2FCFCFC0D0A") << a << std::vector<Entry>{{a, b, {}}} << 0;
    QTest::newRow("single blank line skipped")
        << hex("E10D0A200D0AE1FCFCFCE2FCFCFCE30D0A") << a << std::vector<Entry>{{a, b, c}} << 0;
    QTest::newRow("LF inside a line is code 138")
        << hex("E10D0AE10AFCFCFCE2FCFCFCE30D0A") << a << std::vector<Entry>{{QStringLiteral("a\u0160"), b, c}} << 0;
    QTest::newRow("CR without LF ends a line")
        << hex("E10DE1FCFCFCE2FCFCFCE30D") << a << std::vector<Entry>{{a, b, c}} << 0;
    QTest::newRow("no final line end") << hex("E10D0AE1FCFCFCE2FCFCFCE3") << a << std::vector<Entry>{{a, b, c}} << 0;
    QTest::newRow("location keeps further separators")
        << hex("E10D0AE1FCFCFCE2FCFCFCE3FCFCFCE30D0A") << a << std::vector<Entry>{{a, b, QStringLiteral("c|||c")}} << 0;
    QTest::newRow("missing separators leave fields empty")
        << hex("E10D0AE10D0AE1FCFCFCE20D0A") << a << std::vector<Entry>{{a, {}, {}}, {a, b, {}}} << 2;
}

void TestVault::reading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, firstLine);
    QFETCH(std::vector<Entry>, entries);
    QFETCH(int, damaged);
    const auto contents = vaultformat::parse(bytes);
    QCOMPARE(contents.firstLine, firstLine);
    QCOMPARE(vaultformat::firstLine(bytes), firstLine);
    QCOMPARE(contents.entries.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        QCOMPARE(contents.entries[i].username, entries[i].username);
        QCOMPARE(contents.entries[i].password, entries[i].password);
        QCOMPARE(contents.entries[i].location, entries[i].location);
    }
    QCOMPARE(contents.damagedLines, damaged);
}

void TestVault::savedLinesReadBack()
{
    // Every character the editor lets through, in every field, comes back unchanged.
    QString all;
    for (int b = 0; b < 256; ++b) {
        const QChar ch = codepage::decode(QByteArray(1, static_cast<char>(b))).at(0);
        if (ch != QChar('|') && ch != QChar(0x8D) && ch != QChar('\r'))
            all.append(ch);
    }
    std::vector<Entry> entries = {{all, all, all + QStringLiteral("|||x|")},
                                  {QStringLiteral("|a"), QStringLiteral("|b"), {}}};
    // And the entries of damaged lines whose last field ends in a bar ("||||", "a|", "a|||b||").
    entries.insert(entries.end(), {{{}, QStringLiteral("|"), {}},
                                   {QStringLiteral("a|"), {}, {}},
                                   {QStringLiteral("a"), QStringLiteral("b||"), {}}});
    const QByteArray bytes = fullVault(QStringLiteral("\u20ac pass"), entries);
    const auto back = vaultformat::parse(bytes);
    QCOMPARE(back.firstLine, QStringLiteral("\u20ac pass"));
    QCOMPARE(back.entries.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        QVERIFY(back.entries[i] == entries[i]);
}

// The fast reader finds line ends and separators 64 bytes at a time, and reads the file a block
// at a time; here they fall at each place around the edge of the first two such words and of
// the first block, with lines of 63 to 65 bytes and files that end there. At the block's edge
// the line holding them starts right before it, or far before it, or is the master password.
void TestVault::fastReaderMatchesThePlainOne_data()
{
    QTest::addColumn<QByteArray>("pattern"); // as the file holds it
    QTest::addColumn<int>("lineLength");     // of the line holding it; 0: as it falls
    const QByteArray crlf("\r\n");
    const std::pair<const char*, QByteArray> patterns[] = {
        {"separator", enciphered("|||")},  {"two bars", enciphered("||")},
        {"four bars", enciphered("||||")}, {"five bars", enciphered("|||||")},
        {"CR alone", QByteArray("\r")},    {"CR LF", crlf},
        {"LF alone", QByteArray("\n")},    {"separator and CR", enciphered("|||") + "\r"},
        {"blank line", crlf + " " + crlf}, {"empty line", crlf + crlf}};
    for (const auto& [name, bytes] : patterns) {
        for (const int length : {0, 63, 64, 65})
            QTest::newRow(qPrintable(QStringLiteral("%1, line of %2").arg(QLatin1String(name)).arg(length)))
                << bytes << length;
    }
}

void TestVault::fastReaderMatchesThePlainOne()
{
    QFETCH(QByteArray, pattern);
    QFETCH(int, lineLength);
    const QByteArray master = enciphered("master") + "\r\n";
    QByteArray lines = master; // short entry lines up to a little before the block's edge
    for (int i = 0; lines.size() < vaultformat::kReadBlockBytes - 40; ++i)
        lines += enciphered("user" + QByteArray::number(i) + "|||pw|||site") + "\r\n";
    const std::pair<qsizetype, QByteArray> places[] = {{64, master},
                                                       {128, master},
                                                       {vaultformat::kReadBlockBytes, lines},
                                                       {vaultformat::kReadBlockBytes, master},
                                                       {vaultformat::kReadBlockBytes, QByteArray()}};
    for (const auto& [edge, head] : places) {
        for (qsizetype offset = edge - 6; offset <= edge + 6; ++offset) {
            // The pattern starts at this offset of the file, inside a line of the given length.
            const qsizetype before = offset - head.size();
            // A third separator, in the location: a missed first one would shift the fields.
            QByteArray line = enciphered(QByteArray(before, 'a')) + pattern + enciphered("b|||c|||d");
            if (lineLength > 0) {
                line = line.left(lineLength);
                if (line.size() < lineLength)
                    line += enciphered(QByteArray(lineLength - line.size(), 'z'));
            }
            const QByteArray full = head + line + "\r\n" + enciphered("next|||entry|||line") + "\r\n" +
                                    enciphered(QByteArray(63, 'y') + "|||x|||w") + "\r\n";
            for (qsizetype end = offset - 2; end <= full.size(); ++end) {
                if (end > offset + 8 && end < full.size())
                    end = full.size(); // the file ends around the pattern, or whole
                const QByteArray file = full.left(end);
                const vaultformat::Contents fast = vaultformat::parse(file);
                const ReferenceFile plain = referenceRead(file);
                const QByteArray where = "offset " + QByteArray::number(offset) + ", " + QByteArray::number(end) +
                                         " bytes, head of " + QByteArray::number(head.size());
                QVERIFY2(fast.firstLine == plain.firstLine, where.constData());
                QVERIFY2(fast.entries == plain.entries, where.constData());
                QVERIFY2(fast.damagedLines == plain.damagedLines, where.constData());
            }
        }
    }
}

// From a megabyte on, the file is read in two stretches cut after a line end near its middle;
// here the middle falls at each place around a line end, a separator or a damaged line, and
// the rest of the file holds lines, or one line with or without an end.
void TestVault::twoStretchesMatchThePlainOne_data()
{
    QTest::addColumn<QByteArray>("pattern"); // starts a few bytes around the middle
    QTest::addColumn<bool>("linesAfter");    // else one long line to the end
    QTest::addColumn<QByteArray>("end");     // the file's last bytes
    const QByteArray crlf("\r\n");
    const std::pair<const char*, QByteArray> patterns[] = {{"CR LF", crlf},
                                                           {"CR alone", QByteArray("\r")},
                                                           {"LF alone", QByteArray("\n")},
                                                           {"blank line", crlf + " " + crlf},
                                                           {"empty line", crlf + crlf},
                                                           {"separator", enciphered("|||")},
                                                           {"damaged line", crlf + enciphered("no separators") + crlf}};
    for (const auto& [name, bytes] : patterns)
        QTest::newRow(name) << bytes << true << QByteArray();
    for (const QByteArray& end : {QByteArray(), QByteArray("\r"), crlf})
        QTest::newRow(qPrintable("one line after, ending in " + QByteArray::number(end.size()) + " line end bytes"))
            << crlf << false << end;
}

void TestVault::twoStretchesMatchThePlainOne()
{
    QFETCH(QByteArray, pattern);
    QFETCH(bool, linesAfter);
    QFETCH(QByteArray, end);
    constexpr qsizetype kHalf = qsizetype(1) << 19;
    QByteArray first = enciphered("master") + "\r\n";
    for (int i = 0; first.size() < kHalf; ++i)
        first += enciphered("user" + QByteArray::number(i) + "|||" + QByteArray(i % 70, 'p') + "|||site") + "\r\n";
    first += enciphered("a|||b|||c");
    for (qsizetype shift = -3; shift <= 3; ++shift) {
        // The pattern starts shift bytes after the middle of a file of this size.
        const qsizetype size = 2 * (first.size() - shift);
        QByteArray file = first + pattern + enciphered("d|||e|||f");
        if (linesAfter) {
            for (int i = 0; file.size() + 100 < size; ++i)
                file += "\r\n" + enciphered("more" + QByteArray::number(i) + "|||" + QByteArray(i % 50, 'q') + "|||x");
            file += "\r\n" + enciphered("last|||line|||");
        }
        file += enciphered(QByteArray(size - file.size() - end.size(), 'z')) + end;
        QCOMPARE(file.size(), size);
        const vaultformat::Contents fast = vaultformat::parse(file);
        const ReferenceFile plain = referenceRead(file);
        const QByteArray where = "shift " + QByteArray::number(shift);
        QVERIFY2(fast.firstLine == plain.firstLine, where.constData());
        QVERIFY2(fast.entries.size() == plain.entries.size(), where.constData());
        QVERIFY2(fast.entries == plain.entries, where.constData());
        QVERIFY2(fast.damagedLines == plain.damagedLines, where.constData());
    }
}

// Room for a stretch's lines is guessed from its first bytes: here long lines come first and
// short ones after them, in the first stretch, the second or both, so that the guess falls short.
void TestVault::linesFewerThanTheirStartPromises()
{
    const auto longThenShort = [](const QByteArray& name, qsizetype bytes) {
        QByteArray part;
        for (int i = 0; part.size() < (qsizetype(80) << 10); ++i)
            part += enciphered(name + QByteArray::number(i) + "|||" + QByteArray(400, 'p') + "|||site") + "\r\n";
        for (int i = 0; part.size() < bytes; ++i)
            part += enciphered("u" + QByteArray::number(i % 10) + "|||p|||l") + "\r\n";
        return part;
    };
    const QByteArray master = enciphered("master") + "\r\n";
    const qsizetype half = qsizetype(700) << 10;
    QByteArray evenLines;
    for (int i = 0; evenLines.size() < half; ++i)
        evenLines += enciphered("even" + QByteArray::number(i) + "|||pw|||somewhere") + "\r\n";
    const QByteArray files[] = {master + longThenShort("first", half) + evenLines,
                                master + evenLines + longThenShort("second", half),
                                master + longThenShort("first", half) + longThenShort("second", half)};
    for (const QByteArray& file : files) {
        const vaultformat::Contents fast = vaultformat::parse(file);
        const ReferenceFile plain = referenceRead(file);
        QCOMPARE(fast.firstLine, plain.firstLine);
        QCOMPARE(fast.entries.size(), plain.entries.size());
        QVERIFY(fast.entries == plain.entries);
        QCOMPARE(fast.damagedLines, plain.damagedLines);
    }
}

void TestVault::fieldProblems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isLocation");
    QTest::addColumn<bool>("refused");
    QTest::newRow("plain") << QStringLiteral("user") << false << false;
    QTest::newRow("leading bar") << QStringLiteral("|user") << false << false;
    QTest::newRow("separator in username") << QStringLiteral("a|||b") << false << true;
    QTest::newRow("trailing bar") << QStringLiteral("ab|") << false << true;
    QTest::newRow("separator in location") << QStringLiteral("a|||b|") << true << false;
    QTest::newRow("outside the code page") << QStringLiteral("\u4e2d") << true << true;
    QTest::newRow("enciphers to CR") << QStringLiteral("a\u008d") << true << true;
    QTest::newRow("euro") << QStringLiteral("\u20ac") << false << false;
}

void TestVault::fieldProblems()
{
    QFETCH(QString, text);
    QFETCH(bool, isLocation);
    QFETCH(bool, refused);
    QCOMPARE(!entryrules::problemWithField(text, isLocation).isEmpty(), refused);
}

void TestVault::fileNamePart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("backslash") << QStringLiteral("C:\\Prog\\data.enc") << QStringLiteral("data.enc");
    QTest::newRow("slash") << QStringLiteral("/opt/k/data.enc") << QStringLiteral("data.enc");
    QTest::newRow("no separator") << QStringLiteral("data.enc") << QStringLiteral("data.enc");
    QTest::newRow("trailing separator") << QStringLiteral("C:\\Prog\\") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestVault::fileNamePart()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(vaultstorage::fileNamePart(path), name);
}

void TestVault::ensureCreatesOwnerOnlyEmptyLine()
{
    QTemporaryDir dir;
    const QString path = vaultstorage::vaultPath(dir.path());
    QVERIFY(vaultstorage::ensureVaultFile(path).ok);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), hex("0D0A"));
    QCOMPARE(f.permissions() & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                                QFile::ReadOther | QFile::WriteOther),
             QFile::ReadOwner | QFile::WriteOwner);
    f.close();
    // An existing file is left alone.
    QVERIFY(vaultstorage::saveAtomically(path, hex("E10D0A")).ok);
    QVERIFY(vaultstorage::ensureVaultFile(path).ok);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), hex("E10D0A"));
}

void TestVault::fileExistsOnlyForFiles()
{
    QTemporaryDir dir;
    const QString path = vaultstorage::vaultPath(dir.path());
    QVERIFY(!vaultstorage::fileExists(path));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("data.enc")));
    QVERIFY(!vaultstorage::fileExists(path));
    QVERIFY(!vaultstorage::ensureVaultFile(path).ok); // a folder is never written over
    QVERIFY(!vaultstorage::fileExists(QString()));
}

// Files are read in pieces, large ones in two halves on two threads; the digest made meanwhile
// knows the bytes again, and no others, however they are cut.
void TestVault::readsWholeFilesAndTellsThemApart_data()
{
    QTest::addColumn<qsizetype>("size");
    constexpr qsizetype kMiB = qsizetype(1) << 20;
    for (const qsizetype size : {qsizetype(0), qsizetype(1), kMiB - 1, kMiB + 1, 2 * kMiB - 1, 2 * kMiB, 5 * kMiB + 7})
        QTest::newRow(qPrintable(QString::number(size) + " bytes")) << size;
}

void TestVault::readsWholeFilesAndTellsThemApart()
{
    QFETCH(qsizetype, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 131) ^ (i >> 9));
    QVERIFY(vaultstorage::replaceWithNewFile(path, bytes, 0600).ok);

    ContentDigest digest;
    const ResultWith<QByteArray> read = vaultstorage::readAll(path, vaultstorage::largestFile(), &digest);
    QVERIFY(read.ok);
    QVERIFY(read.value == bytes);
    QVERIFY(digest.known());
    for (const ContentDigest& d : {digest, ContentDigest::of(bytes)}) {
        QVERIFY(d.matches(bytes));
        QVERIFY(!d.matches(bytes + 'x'));
        for (const qsizetype at : {qsizetype(0), size / 2 - 1, size / 2, size - 1}) {
            if (at < 0 || at >= size)
                continue;
            QByteArray other = bytes;
            other[at] = char(other[at] ^ 1);
            QVERIFY2(!d.matches(other), qPrintable(QStringLiteral("changed at %1").arg(at)));
        }
    }
    QVERIFY(!ContentDigest().matches(bytes)); // nothing known matches nothing
}

void TestVault::saveReplacesAtomicallyAndKeepsPermissions()
{
    QTemporaryDir dir;
    const QString path = vaultstorage::vaultPath(dir.path());
    QVERIFY(vaultstorage::saveAtomically(path, hex("E10D0A0D0A")).ok);
    QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
    QVERIFY(vaultstorage::saveAtomically(path, hex("E20D0A0D0A")).ok);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), hex("E20D0A0D0A"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("data.enc")});
}

void TestVault::saveFailuresLeaveOldFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("read-only file") << QStringLiteral("read-only");
    QTest::newRow("folder of that name") << QStringLiteral("folder");
    QTest::newRow("folder gone") << QStringLiteral("gone");
    if (!isRoot())
        QTest::newRow("folder not writable") << QStringLiteral("locked");
}

void TestVault::saveFailuresLeaveOldFile()
{
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/prog");
    QVERIFY(QDir().mkpath(folder));
    const QString path = vaultstorage::vaultPath(folder);
    const QByteArray old = hex("E10D0A0D0A");
    if (fault != QLatin1String("folder"))
        QVERIFY(vaultstorage::saveAtomically(path, old).ok);
    if (fault == QLatin1String("read-only"))
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    else if (fault == QLatin1String("folder"))
        QVERIFY(QDir(folder).mkdir(QStringLiteral("data.enc")));
    else if (fault == QLatin1String("gone"))
        QVERIFY(QDir(folder).removeRecursively());
    else
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

    const auto result = vaultstorage::saveAtomically(path, hex("E20D0A0D0A"));
    QVERIFY(!result.ok);
    QVERIFY(!result.reason.isEmpty());
    if (fault == QLatin1String("read-only") || fault == QLatin1String("locked")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestVault::fieldsPastFourGigabytesAddUp()
{
    // A line whose fields pass 4 GiB together: where each field starts, without the file itself.
    vaultformat::EntrySpan span;
    span.start = 10;
    span.sizes[0] = 0xFFFFFFFEu;
    span.sizes[1] = 0xFFFFFFF0u;
    span.sizes[2] = 7;
    QCOMPARE(vaultformat::spanFieldStart(span, 0), qint64(10));
    QCOMPARE(vaultformat::spanFieldStart(span, 1), qint64(10) + 0xFFFFFFFEll + 3);
    QCOMPARE(vaultformat::spanFieldStart(span, 2), qint64(10) + 0xFFFFFFFEll + 3 + 0xFFFFFFF0ll + 3);
    QCOMPARE(vaultformat::lineBytes(span), qsizetype(0xFFFFFFFEll + 0xFFFFFFF0ll + 7 + 6 + 2));
}

QTEST_GUILESS_MAIN(TestVault)
#include "test_vault.moc"
