// One writer per data file.
#include "core/vault/VaultLock.h"
#include "core/vault/VaultStorage.h"
#include "support/TestProgram.h"
#include "windows/run/ClaimVault.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

class TestVaultLock : public QObject {
    Q_OBJECT
private slots:
    void secondCopyEndsWithoutTouchingTheFile();
    void lockOfACrashedCopyIsTakenOver();
    void lockThatCannotBeMadeIsNotCalledAnotherCopy();
};

void TestVaultLock::secondCopyEndsWithoutTouchingTheFile()
{
    TestProgram first;
    const QByteArray file = vaultFile({QStringLiteral("master"), QString()});
    first.writeVault(file);
    VaultLock firstLock;
    QVERIFY(claimVault(*first.ctx, firstLock));
    QVERIFY(first.fake.messages.boxes.empty());
    QVERIFY(!VaultLock::lockPathFor(first.vaultPath()).startsWith(first.folder()));

    // Another run on the same file, reached through another spelling of the path.
    TestProgram second;
    second.ctx->programFolder = first.folder() + QStringLiteral("/./");
    VaultLock secondLock;
    QVERIFY(!claimVault(*second.ctx, secondLock));
    QCOMPARE(second.fake.programEnd.ends, 1);
    QCOMPARE(second.fake.messages.boxes.size(), size_t(1));
    QVERIFY(second.fake.messages.boxes[0].text.contains(QStringLiteral("already running")));
    QVERIFY(second.fake.messages.boxes[0].text.contains(first.vaultPath()));
    QCOMPARE(first.vaultBytes(), file);
    QCOMPARE(QDir(first.folder()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("data.enc")});

    // A different file is not held.
    TestProgram other;
    VaultLock otherLock;
    QVERIFY(claimVault(*other.ctx, otherLock));
}

void TestVaultLock::lockOfACrashedCopyIsTakenOver()
{
    TestProgram p;
    // A lock file whose holder is gone: a process that has ended.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    QVERIFY(gone.waitForFinished());
    const qint64 deadPid = gone.processId() ? gone.processId() : 999999;
    QFile lockFile(VaultLock::lockPathFor(p.vaultPath()));
    QVERIFY(lockFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lockFile.write(QByteArray::number(deadPid) + "\nkeyhaven\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lockFile.close();
    VaultLock lock;
    QVERIFY(claimVault(*p.ctx, lock));
    QVERIFY(p.fake.messages.boxes.empty());
    QCOMPARE(p.fake.programEnd.ends, 0);
}

void TestVaultLock::lockThatCannotBeMadeIsNotCalledAnotherCopy()
{
    TestProgram p;
    const QByteArray file = vaultFile({QStringLiteral("master"), QString()});
    p.writeVault(file);
    // The runtime and the temporary folder are both a file: nowhere to put a lock.
    QTemporaryFile notAFolder;
    QVERIFY(notAFolder.open());
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray temp = qgetenv("TMPDIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(notAFolder.fileName()));
    qputenv("TMPDIR", QFile::encodeName(notAFolder.fileName()));
    VaultLock lock;
    const bool claimed = claimVault(*p.ctx, lock);
    const auto restore = [](const char* name, const QByteArray& value) {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    };
    restore("XDG_RUNTIME_DIR", runtime);
    restore("TMPDIR", temp);

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
