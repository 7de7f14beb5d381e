// One writer per data file.
#include "core/vault/VaultLock.h"
#include "core/vault/VaultStorage.h"
#include "support/TestProgram.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

class TestVaultLock : public QObject {
    Q_OBJECT
private slots:
    void secondCopyEndsWithoutTouchingTheFile();
    void heldWhateverTheRuntimeFolder_data();
    void heldWhateverTheRuntimeFolder();
    void lockOfACrashedCopyIsTakenOver();
    void lockThatCannotBeMadeIsNotCalledAnotherCopy();
};

void TestVaultLock::secondCopyEndsWithoutTouchingTheFile()
{
    TestProgram first;
    const QByteArray file = vaultFile({QStringLiteral("master"), QString()});
    first.writeVault(file);
    QVERIFY(first.program->claimVault());
    QVERIFY(first.fake.messages.boxes.empty());

    // Another run on the same file, reached through another spelling of the path.
    TestProgram second;
    second.ctx->programFolder = first.folder() + QStringLiteral("/./");
    QVERIFY(!second.program->claimVault());
    QCOMPARE(second.fake.programEnd.ends, 1);
    QCOMPARE(second.fake.messages.boxes.size(), size_t(1));
    QVERIFY(second.fake.messages.boxes[0].text.contains(QStringLiteral("already running")));
    QVERIFY(second.fake.messages.boxes[0].text.contains(first.vaultPath()));
    QCOMPARE(first.vaultBytes(), file);
    // Beside the data file only its lock file, readable by its owner alone.
    QCOMPARE(QDir(first.folder()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("data.enc"), QStringLiteral("data.enc.lock")}));
    QCOMPARE(QFile::permissions(first.vaultPath() + QStringLiteral(".lock")) & 0x0077, QFile::Permissions());

    // A different file is not held.
    TestProgram other;
    QVERIFY(other.program->claimVault());
}

void TestVaultLock::heldWhateverTheRuntimeFolder_data()
{
    QTest::addColumn<QByteArray>("runtime"); // the second copy's runtime folder; null: none set
    QTest::newRow("another runtime folder") << QByteArray("/tmp/another-session");
    QTest::newRow("no runtime folder") << QByteArray();
}

void TestVaultLock::heldWhateverTheRuntimeFolder()
{
    QFETCH(QByteArray, runtime);
    TestProgram first;
    first.writeVault(vaultFile({QStringLiteral("master"), QString()}));
    QVERIFY(first.program->claimVault());
    const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
    runtime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
    TestProgram second;
    second.ctx->programFolder = first.folder();
    const bool claimed = second.program->claimVault();
    before.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", before);
    QVERIFY(!claimed);
    QVERIFY(second.fake.messages.boxes[0].text.contains(QStringLiteral("already running")));
}

void TestVaultLock::lockOfACrashedCopyIsTakenOver()
{
    TestProgram p;
    // Another process holds the lock, then dies without a word.
    QProcess holder;
    holder.start(QStringLiteral("bash"),
                 {QStringLiteral("-c"), QStringLiteral("exec 9>>\"$0\" && flock 9 && exec sleep 60"),
                  VaultLock::lockPathFor(p.vaultPath())});
    QVERIFY(holder.waitForStarted());
    VaultLock probe;
    QTRY_VERIFY_WITH_TIMEOUT(!probe.tryAcquire(p.vaultPath()) && probe.heldByOther(), 5000);
    holder.kill();
    QVERIFY(holder.waitForFinished());
    QVERIFY(p.program->claimVault());
    QVERIFY(p.fake.messages.boxes.empty());
    QCOMPARE(p.fake.programEnd.ends, 0);
}

void TestVaultLock::lockThatCannotBeMadeIsNotCalledAnotherCopy()
{
    TestProgram p;
    const QByteArray file = vaultFile({QStringLiteral("master"), QString()});
    p.writeVault(file);
    // Something that is no file has the lock file's name: no lock can be made there.
    QVERIFY(QDir(p.folder()).mkdir(QStringLiteral("data.enc.lock")));
    const bool claimed = p.program->claimVault();

    QVERIFY(!claimed);
    QCOMPARE(p.fake.programEnd.ends, 1);
    QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
    const QString text = p.fake.messages.boxes[0].text;
    QVERIFY2(text.contains(QStringLiteral("lock file cannot be created")) && !text.contains(QStringLiteral("already")),
             qPrintable(text));
    QVERIFY(text.contains(p.vaultPath()));
    QCOMPARE(p.vaultBytes(), file);
}

QTEST_MAIN(TestVaultLock)
#include "test_vault_lock.moc"
