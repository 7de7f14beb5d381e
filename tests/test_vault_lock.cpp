// One writer per data file.
#include "core/vault/VaultLock.h"
#include "core/vault/VaultStorage.h"
#include "support/TestProgram.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class TestVaultLock : public QObject {
    Q_OBJECT
private slots:
    void secondCopyEndsWithoutTouchingTheFile();
    void heldWhateverTheRuntimeFolder_data();
    void heldWhateverTheRuntimeFolder();
    void lockOfACrashedCopyIsTakenOver();
    void lockThatCannotBeMadeIsNotCalledAnotherCopy();
    void heldWhateverPathOrLinkReachesTheFile_data();
    void heldWhateverPathOrLinkReachesTheFile();
    void aFolderThatCannotBeWrittenOpensReadOnly();
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

void TestVaultLock::heldWhateverPathOrLinkReachesTheFile_data()
{
    QTest::addColumn<bool>("hardLink");
    QTest::newRow("a symbolic link") << false;
    QTest::newRow("a hard link") << true;
}

void TestVaultLock::heldWhateverPathOrLinkReachesTheFile()
{
    QFETCH(bool, hardLink);
    TestProgram p;
    p.writeVault(savedVault({QStringLiteral("ann|||pw|||")}));
    QVERIFY(p.program->claimVault());
    p.startAndUnlock();
    QTemporaryDir elsewhere;
    const QString other = elsewhere.filePath(QStringLiteral("linked.enc"));
    const QByteArray from = QFile::encodeName(p.vaultPath());
    const QByteArray to = QFile::encodeName(other);
    QVERIFY((hardLink ? ::link(from.constData(), to.constData()) : ::symlink(from.constData(), to.constData())) == 0);
    // Held before and after a save puts a new file in place (a hard link then reaches the old one).
    for (int save = 0; save < 2; ++save) {
        VaultLock second;
        QVERIFY(!second.tryAcquire(other));
        QVERIFY(second.heldByOther());
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::System | QDir::Hidden),
                 QStringList{QStringLiteral("linked.enc")}); // no lock file of its own
        QVERIFY(p.ctx->vault.add({QStringLiteral("bob"), QStringLiteral("pw2"), {}}).ok);
    }
}

namespace {

// The test folder made read-only: a read-only mount of it where this process may mount (as root,
// who may write anywhere else), its permissions otherwise.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& folder) : m_folder(QFile::encodeName(folder))
    {
        if (::geteuid() != 0) {
            m_chmodded = ::chmod(m_folder.constData(), 0555) == 0;
            return;
        }
        m_mounted = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                    ::mount(m_folder.constData(), m_folder.constData(), nullptr, MS_BIND, nullptr) == 0 &&
                    ::mount(nullptr, m_folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
        if (m_chmodded)
            ::chmod(m_folder.constData(), 0700);
    }
    bool made() const { return m_mounted || m_chmodded; }

private:
    QByteArray m_folder;
    bool m_mounted = false;
    bool m_chmodded = false;
};

} // namespace

void TestVaultLock::aFolderThatCannotBeWrittenOpensReadOnly()
{
    TestProgram p;
    const QByteArray file = savedVault({QStringLiteral("ann|||pw|||")});
    p.writeVault(file);
    const ReadOnlyFolder readOnly(p.folder());
    if (!readOnly.made())
        QSKIP("this process can make no folder read-only for itself here");
    QVERIFY(p.program->claimVault());
    QVERIFY(p.fake.messages.boxes.empty());
    p.startAndUnlock();
    QCOMPARE(p.listEntries().size(), size_t(1));
    const QString why = QStringLiteral("The data file's folder cannot be written, so the file was opened read-only.");
    QCOMPARE(p.status(), QStringLiteral("Loaded 1 entries  ") + why);
    // A change is kept in the list, and the box says why it was not saved.
    p.ctx->editRequest.mode = EntryEditRequest::Mode::Add;
    const VaultSession::Saved saved = p.ctx->vault.add({QStringLiteral("bob"), QStringLiteral("pw2"), {}});
    QVERIFY(!saved.ok && saved.conflictFile.isEmpty());
    QCOMPARE(saved.reason, why);
    QCOMPARE(p.vaultBytes(), file);
    QCOMPARE(QDir(p.folder()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("data.enc")});
    // Another copy on it is still refused.
    TestProgram second;
    second.ctx->programFolder = p.folder();
    QVERIFY(!second.program->claimVault());
    QVERIFY(second.fake.messages.boxes[0].text.contains(QStringLiteral("already running")));
}

QTEST_MAIN(TestVaultLock)
#include "test_vault_lock.moc"
