// One vault on two machines, apart and together again, as a sync engine leaves it: the newer file
// in place on both and the other as a conflict copy beside it. Each machine merges what it finds;
// every change on either side survives, both end with the same entries and no copy is left.
#include "core/vault/ConflictCopies.h"
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultSession.h"
#include "support/LetteredEntries.h"
#include "support/VaultBytes.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QString kMaster = QStringLiteral("master");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A machine: its synced folder, its own record folder, and the program's session when it runs.
struct Machine {
    QTemporaryDir folder;
    QTemporaryDir state;
    std::unique_ptr<VaultSession> session;
    QString path() const { return folder.filePath(QStringLiteral("data.enc")); }
    // The program starts: unlocks, and merges what it finds.
    VaultSession::CopiesMerged open()
    {
        session = std::make_unique<VaultSession>(path());
        session->setRecordFolder(state.path());
        if (!session->open().ok || session->unlock(kMaster) != VaultSession::Unlock::Unlocked)
            qFatal("cannot open the vault");
        return session->mergeConflictCopies(true);
    }
    void close() { session.reset(); }
    std::vector<Entry> entries() const { return session ? session->entries().entries() : std::vector<Entry>{}; }
    QStringList copies() const { return conflictcopies::besides(path()); }
};

// What the sync engine does when both changed the file apart: the newer stays, on both; the other
// becomes a conflict copy, on both.
void syncInConflict(Machine& newer, Machine& older, const QString& device)
{
    const QByteArray winner = readFile(newer.path());
    const QByteArray loser = readFile(older.path());
    const QString copyName = QStringLiteral("data.sync-conflict-20261211-101010-%1.enc").arg(device);
    for (Machine* m : {&newer, &older}) {
        writeFile(m->folder.filePath(copyName), loser);
        writeFile(m->path() + QStringLiteral(".tmp"), winner);
        QVERIFY(QFile::rename(m->path() + QStringLiteral(".tmp"), m->path()) ||
                (QFile::remove(m->path()) && QFile::rename(m->path() + QStringLiteral(".tmp"), m->path())));
    }
}

// Connected: what one machine wrote arrives at the other.
void syncFrom(const Machine& from, Machine& to)
{
    for (const QString& name : QDir(to.folder.path()).entryList({QStringLiteral("data*")}, QDir::Files))
        QFile::remove(to.folder.filePath(name));
    for (const QString& name : QDir(from.folder.path()).entryList({QStringLiteral("data*")}, QDir::Files))
        if (!name.endsWith(QLatin1String(".lock")))
            QFile::copy(from.folder.filePath(name), to.folder.filePath(name));
}

} // namespace

class TestSyncCopies : public QObject {
    Q_OBJECT
private slots:
    void apartWithBothProgramsOpen_data();
    void apartWithBothProgramsOpen();
    void apartWithBothClosed();
    void aCopyUnderAnotherPasswordStays();
    void readingMergesWithoutWriting();
};

void TestSyncCopies::apartWithBothProgramsOpen_data()
{
    QTest::addColumn<bool>("sealed");
    QTest::newRow("classic") << false;
    QTest::newRow("sealed") << true;
}

void TestSyncCopies::apartWithBothProgramsOpen()
{
    QFETCH(bool, sealed);
    Machine laptop, desktop;
    writeFile(laptop.path(), fullVault(kMaster, lettered(QStringLiteral("A B C"))));
    laptop.open();
    if (sealed)
        QVERIFY(laptop.session->setSealed(true, sealedformat::minimumParams()).ok);
    syncFrom(laptop, desktop);
    desktop.open();
    // Apart: each adds one.
    QVERIFY(laptop.session->add(lettered(u'X')).ok);
    QVERIFY(desktop.session->add(lettered(u'Y')).ok);
    // Together again: the desktop's is newer.
    syncInConflict(desktop, laptop, QStringLiteral("LAPTOP7"));
    QSignalSpy laptopMerged(laptop.session.get(), &VaultSession::copiesMerged);
    laptop.session->reloadIfChanged();
    desktop.session->reloadIfChanged();
    QCOMPARE(laptopMerged.count(), 1);
    QCOMPARE(laptopMerged.first().first().value<VaultSession::CopiesMerged>().copies, 1);
    const std::vector<Entry> all = lettered(QStringLiteral("A B C X Y")); // the list was in order, and stays so
    QCOMPARE(laptop.entries(), all);
    QCOMPARE(desktop.entries(), all);
    QVERIFY(laptop.copies().isEmpty() && desktop.copies().isEmpty());
    if (!sealed) {
        // Both wrote the same bytes: the sync engine sees no new conflict.
        QCOMPARE(readFile(laptop.path()), readFile(desktop.path()));
        QCOMPARE(readFile(laptop.path()), fullVault(kMaster, all));
        return;
    }
    // Sealed, each save has a nonce of its own: one more round, which changes no entry, writes nothing.
    QVERIFY(sealedformat::isSealed(readFile(laptop.path())) && sealedformat::isSealed(readFile(desktop.path())));
    syncInConflict(desktop, laptop, QStringLiteral("LAPTOP7"));
    const QByteArray settled = readFile(laptop.path());
    laptop.session->reloadIfChanged();
    desktop.session->reloadIfChanged();
    QCOMPARE(readFile(laptop.path()), settled);
    QCOMPARE(readFile(desktop.path()), settled);
    QVERIFY(laptop.copies().isEmpty() && desktop.copies().isEmpty());
    QCOMPARE(sealedformat::open(settled, kMaster).classic, fullVault(kMaster, all));
}

void TestSyncCopies::apartWithBothClosed()
{
    Machine laptop, desktop;
    writeFile(laptop.path(), fullVault(kMaster, lettered(QStringLiteral("A B C D"))));
    laptop.open();
    laptop.close();
    syncFrom(laptop, desktop);
    desktop.open();
    desktop.close();
    // Apart, each from the command line: the laptop deletes B and adds X (two runs), the desktop
    // changes C's password and adds Y.
    laptop.open();
    QVERIFY(laptop.session->remove(1).ok);
    laptop.close();
    laptop.open();
    QVERIFY(laptop.session->add(lettered(u'X')).ok);
    laptop.close();
    desktop.open();
    QVERIFY(desktop.session->replace(desktop.session->entries().idAt(2), lettered(u'C'), lettered(u'C', 1)).ok);
    QVERIFY(desktop.session->add(lettered(u'Y')).ok);
    desktop.close();
    // Together again, the laptop's newer; then the programs open.
    syncInConflict(laptop, desktop, QStringLiteral("DESKTOP"));
    const VaultSession::CopiesMerged merged = laptop.open();
    QCOMPARE(merged.copies, 1);
    QCOMPARE(merged.needLook, 0);
    QVERIFY(!merged.noRecord);
    desktop.open();
    const std::vector<Entry> all = lettered(QStringLiteral("A C* D X Y"));
    QCOMPARE(laptop.entries(), all);
    QCOMPARE(desktop.entries(), all);
    QCOMPARE(readFile(laptop.path()), fullVault(kMaster, all));
    QCOMPARE(readFile(desktop.path()), fullVault(kMaster, all));
    QVERIFY(laptop.copies().isEmpty() && desktop.copies().isEmpty());
}

void TestSyncCopies::aCopyUnderAnotherPasswordStays()
{
    Machine m;
    writeFile(m.path(), fullVault(kMaster, lettered(QStringLiteral("A"))));
    const QString copy = m.folder.filePath(QStringLiteral("data (conflicted copy 2026-12-11 101010).enc"));
    writeFile(copy, fullVault(QStringLiteral("another"), lettered(QStringLiteral("Z"))));
    const VaultSession::CopiesMerged merged = m.open();
    QCOMPARE(merged.copies, 0);
    QCOMPARE(merged.refused, QStringList{copy});
    QCOMPARE(merged.reasons, QStringList{QStringLiteral("it is under another master password")});
    QCOMPARE(m.entries(), lettered(QStringLiteral("A")));
    QCOMPARE(m.copies(), QStringList{copy});
    // Said once: the next looks pass it by.
    QSignalSpy said(m.session.get(), &VaultSession::copiesMerged);
    m.session->reloadIfChanged();
    QVERIFY(m.session->add(lettered(u'B')).ok);
    QCOMPARE(said.count(), 0);
    QCOMPARE(m.copies(), QStringList{copy});
}

void TestSyncCopies::readingMergesWithoutWriting()
{
    Machine m;
    writeFile(m.path(), fullVault(kMaster, lettered(QStringLiteral("A B"))));
    m.open(); // the record knows A B
    m.close();
    const QByteArray file = readFile(m.path());
    const QString copy = m.folder.filePath(QStringLiteral("data_conflict-20261211-101010.enc"));
    writeFile(copy, fullVault(kMaster, lettered(QStringLiteral("A B X"))));
    VaultSession reading(m.path());
    reading.setRecordFolder(m.state.path());
    QVERIFY(reading.open().ok && reading.unlock(kMaster) == VaultSession::Unlock::Unlocked);
    const VaultSession::CopiesMerged merged = reading.mergeConflictCopies(false);
    QCOMPARE(merged.copies, 1);
    QCOMPARE(reading.entries().entries(), lettered(QStringLiteral("A B X")));
    QCOMPARE(readFile(m.path()), file);
    QCOMPARE(m.copies(), QStringList{copy});
    // A change goes with the merge, and the copy goes.
    QVERIFY(reading.add(lettered(u'Y')).ok);
    QCOMPARE(readFile(m.path()), fullVault(kMaster, lettered(QStringLiteral("A B X Y"))));
    QVERIFY(m.copies().isEmpty());
}

QTEST_GUILESS_MAIN(TestSyncCopies)
#include "test_sync_copies.moc"
