// What arrives from elsewhere never weakens the vault: a sealed file stays sealed, a file under
// another password costs one key derivation and never stops the program, conflict files are new
// and private whatever was planted at their names, and files that cannot be held are refused
// before they are read, never waited on.
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultSession.h"
#include "support/LetteredEntries.h"
#include "support/VaultBytes.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kMaster = QStringLiteral("master");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

void writeFile(const QString& path, const QByteArray& bytes, QFile::Permissions permissions = {})
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    if (permissions)
        QVERIFY(f.setPermissions(permissions));
}

// Put in the file's place as a sync tool does: made beside it, renamed over it.
void replaceWith(const QString& path, const std::function<void(const QString&)>& make)
{
    const QString beside = path + QStringLiteral(".sync-tmp");
    make(beside);
    QVERIFY(::rename(QFile::encodeName(beside).constData(), QFile::encodeName(path).constData()) == 0);
}

QByteArray sealedBytes(const QString& master, const QString& letters, sealedformat::Params params)
{
    const sealedformat::KeyPtr key = sealedformat::newKey(master, params).value;
    return sealedformat::seal(fullVault(master, lettered(letters)), *key);
}

unsigned modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

void unlockedOn(VaultSession& session, const QByteArray& file)
{
    writeFile(session.path(), file, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(session.open().ok);
    QVERIFY(session.unlock(kMaster) == VaultSession::Unlock::Unlocked);
}

} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT
private slots:
    void aFileSealedElsewhereStaysSealed();
    void anotherPasswordCostsOneDerivationAndEventsRunMeanwhile();
    void conflictFilesAreNewAndPrivate_data();
    void conflictFilesAreNewAndPrivate();
    void filesThatCannotBeHeldAreRefusedBeforeReading_data();
    void filesThatCannotBeHeldAreRefusedBeforeReading();
    void aPipeInTheFilesPlaceNeverBlocksASave();
    void sealingSealsTheConflictFilesBesideIt();
};

void TestHostileFiles::aFileSealedElsewhereStaysSealed()
{
    QTemporaryDir dir;
    VaultSession session(dir.filePath(QStringLiteral("data.enc")));
    unlockedOn(session, fullVault(kMaster, lettered(QStringLiteral("A B C"))));
    QVERIFY(!session.sealed());
    // The other machine sealed it, and added an entry.
    const QByteArray sealed = sealedBytes(kMaster, QStringLiteral("A B C X"), sealedformat::minimumParams());
    replaceWith(session.path(), [&](const QString& path) { writeFile(path, sealed); });
    const VaultSession::Saved saved = session.add(lettered(u'D'));
    QVERIFY2(saved.ok, qPrintable(saved.reason));
    QVERIFY(saved.merged && saved.sealedElsewhere);
    const QByteArray after = readFile(session.path());
    QVERIFY(sealedformat::isSealed(after));
    QCOMPARE(sealedformat::readHeader(after).value.params, sealedformat::minimumParams());
    QVERIFY(!after.contains(fullVault(kMaster, {}).left(6)) && !after.contains("dan"));
    const sealedformat::Opened opened = sealedformat::open(after, kMaster);
    QCOMPARE(opened.classic, fullVault(kMaster, lettered(QStringLiteral("A B C X D"))));
    // And so it goes on.
    QVERIFY(session.sealed());
    QVERIFY(!session.add(lettered(u'E')).sealedElsewhere);
    QVERIFY(sealedformat::isSealed(readFile(session.path())));
}

void TestHostileFiles::anotherPasswordCostsOneDerivationAndEventsRunMeanwhile()
{
    QTemporaryDir dir;
    VaultSession session(dir.filePath(QStringLiteral("data.enc")));
    unlockedOn(session, fullVault(kMaster, lettered(QStringLiteral("A B"))));
    // Sealed under another password, asking for a slow derivation.
    const QByteArray hostile = sealedBytes(QStringLiteral("not ours"), QStringLiteral("E"), {8, quint64(256) << 20});
    replaceWith(session.path(), [&](const QString& path) { writeFile(path, hostile); });
    QSignalSpy working(&session, &VaultSession::working);
    QSignalSpy refused(&session, &VaultSession::notReloaded);
    // Events go on while the key is derived: a timer of this thread keeps firing.
    int ticksWhileWorking = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ticksWhileWorking += working.count() == 1 ? 1 : 0; });
    ticker.start();
    session.watch();
    QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, 60000);
    QVERIFY2(ticksWhileWorking > 3, qPrintable(QString::number(ticksWhileWorking)));
    QCOMPARE(refused.first().first().toString(), QStringLiteral("it is under another master password"));
    // Looked at again and again: refused once, derived once.
    QTest::qWait(4500);
    QCOMPARE(working.count(), 2); // busy, then done
    QCOMPARE(refused.count(), 1);
    QCOMPARE(session.entries().entries(), lettered(QStringLiteral("A B")));
    // A save goes beside it at once, without deriving again.
    const VaultSession::Saved saved = session.add(lettered(u'C'));
    QVERIFY(!saved.ok && !saved.conflictFile.isEmpty());
    QCOMPARE(working.count(), 2);
    QCOMPARE(readFile(session.path()), hostile);
}

void TestHostileFiles::conflictFilesAreNewAndPrivate_data()
{
    QTest::addColumn<QString>("inPlace"); // what sits at data.enc when the save comes
    QTest::newRow("a foreign file, readable by all") << "foreign 0644";
    QTest::newRow("a link to a program") << "link to a program";
}

void TestHostileFiles::conflictFilesAreNewAndPrivate()
{
    QFETCH(QString, inPlace);
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    VaultSession session(path);
    unlockedOn(session, fullVault(kMaster, lettered(QStringLiteral("A"))));
    if (inPlace == QLatin1String("foreign 0644")) {
        replaceWith(path, [&](const QString& p) {
            writeFile(p, fullVault(QStringLiteral("other"), {}),
                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        });
    } else {
        const QString program = elsewhere.filePath(QStringLiteral("tool"));
        writeFile(program, "#!/bin/sh\n",
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                      QFile::ReadOther | QFile::ExeOther);
        replaceWith(path, [&](const QString& p) { QVERIFY(QFile::link(program, p)); });
    }
    // Links planted at the names a conflict file may take in the next seconds, into another folder.
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 5; ++s) {
        const QString stamp = now.addSecs(s).toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("stolen-%1").arg(s)),
                            path + QStringLiteral(".conflict-") + stamp));
    }
    const VaultSession::Saved saved = session.add(lettered(u'B'));
    QVERIFY(!saved.ok);
    QVERIFY2(!saved.conflictFile.isEmpty(), qPrintable(saved.reason));
    const QFileInfo conflict(saved.conflictFile);
    QVERIFY(!conflict.isSymLink() && conflict.isFile());
    QCOMPARE(modeOf(saved.conflictFile), 0600u);
    QCOMPARE(readFile(saved.conflictFile), fullVault(kMaster, lettered(QStringLiteral("A B"))));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             inPlace == QLatin1String("foreign 0644") ? QStringList() : QStringList{QStringLiteral("tool")});
}

void TestHostileFiles::filesThatCannotBeHeldAreRefusedBeforeReading_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // the start of it
    QTest::newRow("50 GB, sparse") << "sparse"
                                   << "It holds 46.57 GiB, more than this program can hold here";
    QTest::newRow("a pipe") << "pipe"
                            << "It is not a regular file.";
    QTest::newRow("a device") << "device"
                              << "It is not a regular file.";
}

void TestHostileFiles::filesThatCannotBeHeldAreRefusedBeforeReading()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("sparse")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(qint64(50) * 1000 * 1000 * 1000));
    } else if (kind == QLatin1String("pipe")) {
        QVERIFY(::mkfifo(name.constData(), 0600) == 0);
    } else {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    }
    VaultSession session(path);
    const VaultSession::Opened opened = session.open();
    QVERIFY(!opened.ok);
    QVERIFY2(opened.reason.startsWith(reason), qPrintable(opened.reason));
}

void TestHostileFiles::aPipeInTheFilesPlaceNeverBlocksASave()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    VaultSession session(path);
    unlockedOn(session, fullVault(kMaster, lettered(QStringLiteral("A"))));
    replaceWith(path, [](const QString& p) { QVERIFY(::mkfifo(QFile::encodeName(p).constData(), 0600) == 0); });
    const VaultSession::Saved saved = session.add(lettered(u'B')); // returns: nothing waits on the pipe
    QVERIFY(!saved.ok);
    QCOMPARE(saved.reason, QStringLiteral("it is no longer a regular file"));
    QCOMPARE(readFile(saved.conflictFile), fullVault(kMaster, lettered(QStringLiteral("A B"))));
    struct stat st {};
    QVERIFY(::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
}

void TestHostileFiles::sealingSealsTheConflictFilesBesideIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    VaultSession session(path);
    unlockedOn(session, fullVault(kMaster, lettered(QStringLiteral("A"))));
    // A save that went beside a file under another password, while the vault was classic.
    replaceWith(path, [](const QString& p) { writeFile(p, fullVault(QStringLiteral("other"), {})); });
    const QString conflict = session.add(lettered(u'B')).conflictFile;
    QCOMPARE(readFile(conflict), fullVault(kMaster, lettered(QStringLiteral("A B"))));
    // One that is no file of this master password's.
    const QString foreign = path + QStringLiteral(".conflict-19990101-000000");
    writeFile(foreign, fullVault(QStringLiteral("other"), {}));
    replaceWith(path, [](const QString& p) { writeFile(p, fullVault(kMaster, lettered(QStringLiteral("A")))); });

    const VaultSession::Saved sealed = session.setSealed(true, sealedformat::minimumParams());
    QVERIFY2(sealed.ok, qPrintable(sealed.reason));
    QCOMPARE(sealed.sealedConflictFiles, QStringList{conflict});
    QCOMPARE(sealed.unsealedConflictFiles, QStringList{foreign});
    const QByteArray nowSealed = readFile(conflict);
    QVERIFY(sealedformat::isSealed(nowSealed) && !nowSealed.contains("bob"));
    QCOMPARE(sealedformat::open(nowSealed, kMaster).classic, fullVault(kMaster, lettered(QStringLiteral("A B"))));
    QCOMPARE(modeOf(conflict), 0600u);
    QCOMPARE(readFile(foreign), fullVault(QStringLiteral("other"), {}));
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "test_hostile_files.moc"
