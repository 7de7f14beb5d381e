// The sealed data file: only the master password opens it, nothing of it can be read without,
// and no byte of it can change unnoticed.
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultSession.h"
#include "support/VaultBytes.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace sealedformat;

namespace {

const QString kMaster = QStringLiteral("correct horse");
const std::vector<Entry> kEntries = {
    {QStringLiteral("alice@example.com"), QStringLiteral("Tr0ub4dor&3"), QStringLiteral("https://mail.example.com/")},
    {QStringLiteral("bob"), QStringLiteral("hunter2 hunter2"), QString()}};

// One key for the whole test, at the least cost a file may ask for.
const Key& testKey()
{
    static const KeyPtr key = newKey(kMaster, minimumParams()).value;
    return *key;
}

QByteArray flipped(QByteArray bytes, qsizetype at)
{
    bytes[at] = char(bytes[at] ^ 0x10);
    return bytes;
}

QByteArray withNumber(QByteArray bytes, qsizetype at, quint64 value)
{
    for (int i = 0; i < 8; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

} // namespace

class TestSealedFormat : public QObject {
    Q_OBJECT
private slots:
    void sealThenOpenGivesTheSameBytes();
    void wrongPasswordIsToldFromDamage();
    void damagedFiles_data();
    void damagedFiles();
    void nothingCanBeReadWithout();
};

void TestSealedFormat::sealThenOpenGivesTheSameBytes()
{
    const QByteArray classic = fullVault(kMaster, kEntries);
    QVERIFY(!isSealed(classic));
    const QByteArray sealed = seal(classic, testKey());
    QVERIFY(isSealed(sealed));
    const Opened opened = open(sealed, kMaster);
    QCOMPARE(opened.status, Status::Opened);
    QCOMPARE(opened.classic, classic);
    // Every seal has a nonce of its own; the key opens each.
    const QByteArray again = seal(classic, *opened.key);
    QVERIFY(again != sealed);
    QCOMPARE(openWithKey(again, opened.key).classic, classic);
    QCOMPARE(readHeader(sealed).value.params, minimumParams());
}

void TestSealedFormat::wrongPasswordIsToldFromDamage()
{
    const QByteArray sealed = seal(fullVault(kMaster, kEntries), testKey());
    const Opened wrong = open(sealed, QStringLiteral("correct horsE"));
    QCOMPARE(wrong.status, Status::WrongPassword);
    QVERIFY(wrong.classic.isEmpty());
}

void TestSealedFormat::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason"); // empty: not taken for a sealed file at all
    const QByteArray sealed = seal(fullVault(kMaster, kEntries), testKey());
    const QString header = QStringLiteral("the sealed file's header is damaged");
    const QString contents = QStringLiteral("the sealed file is damaged: its contents do not match its seal");
    const QString cut = QStringLiteral("the sealed file is cut short");
    QTest::newRow("signature only") << sealed.left(8) << cut;
    QTest::newRow("header cut") << sealed.left(60) << cut;
    QTest::newRow("header without its tag") << sealed.left(kHeaderBytes + 5) << cut;
    QTest::newRow("last byte gone") << sealed.chopped(1) << contents;
    QTest::newRow("signature") << flipped(sealed, 3) << QString();
    QTest::newRow("version") << flipped(sealed, 8)
                             << "the sealed file is of format version 17, which this program does not know";
    QTest::newRow("key derivation") << flipped(sealed, 9)
                                    << "the sealed file names a key derivation this program does not know";
    QTest::newRow("passes") << flipped(sealed, 10) << header;
    QTest::newRow("memory") << flipped(sealed, 21) << header;
    QTest::newRow("salt") << flipped(sealed, 30) << header;
    QTest::newRow("key check") << flipped(sealed, 45) << header;
    QTest::newRow("nonce") << flipped(sealed, 70) << header;
    QTest::newRow("header digest") << flipped(sealed, 90) << header;
    QTest::newRow("ciphertext") << flipped(sealed, kHeaderBytes + 3) << contents;
    QTest::newRow("tag") << flipped(sealed, sealed.size() - 2) << contents;
    // Parameters out of bounds are refused before any key is made, whatever the digest says.
    QTest::newRow("passes below the least")
        << withNumber(sealed, 10, 1) << "the sealed file asks for a key derivation out of bounds";
    QTest::newRow("memory beyond the most")
        << withNumber(sealed, 18, quint64(64) << 30) << "the sealed file asks for a key derivation out of bounds";
}

void TestSealedFormat::damagedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    if (reason.isEmpty()) {
        QVERIFY(!isSealed(file)); // read as a classic file, whose first line is no one's password
        return;
    }
    const Opened opened = open(file, kMaster);
    QCOMPARE(opened.status, Status::Damaged);
    QCOMPARE(opened.reason, reason);
    QVERIFY(opened.classic.isEmpty());
    // Opened as the vault, it is refused and left exactly as it is.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    VaultSession vault(path);
    if (vault.open().ok)
        QVERIFY(vault.unlock(kMaster) == VaultSession::Unlock::Damaged);
    QVERIFY(!vault.unlocked());
    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), file);
}

void TestSealedFormat::nothingCanBeReadWithout()
{
    const QByteArray sealed = seal(fullVault(kMaster, kEntries), testKey());
    QStringList secrets = {kMaster};
    for (const Entry& e : kEntries)
        secrets << e.username << e.password << e.location;
    for (const QString& secret : secrets) {
        if (secret.isEmpty())
            continue;
        const QByteArray plain = secret.toLatin1();
        QByteArray scrambled = plain;
        for (char& c : scrambled)
            c = char(c ^ 0x80);
        const QByteArray wide(reinterpret_cast<const char*>(secret.utf16()), secret.size() * 2);
        for (const QByteArray& form : {plain, scrambled, wide, plain.toLower(), plain.toUpper()})
            QVERIFY2(!sealed.contains(form.left(6)), qPrintable(secret));
    }
}

QTEST_GUILESS_MAIN(TestSealedFormat)
#include "test_sealed_format.moc"
