// The open vault without windows: opening, the master password, each change and its save, and
// what the session tells a list about its rows.
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultSession.h"
#include "support/LetteredEntries.h"
#include "support/VaultBytes.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const Entry kMail{QStringLiteral("ann"), QStringLiteral("pw1"), QStringLiteral("mail.example.com")};
const Entry kBank{QStringLiteral("bob"), QStringLiteral("pw2"), QStringLiteral("bank.example.com")};
const Entry kShop{QStringLiteral("cid"), QStringLiteral("pw3"), QStringLiteral("")};

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Every report of the session, as text, in order.
struct SessionLog {
    explicit SessionLog(VaultSession& session)
    {
        const auto add = [this](const QString& line) { lines.append(line); };
        QObject::connect(&session, &VaultSession::rowsAboutToBeInserted,
                         [add](int a, int b) { add(QStringLiteral("insert %1-%2").arg(a).arg(b)); });
        QObject::connect(&session, &VaultSession::rowsInserted, [add] { add(QStringLiteral("inserted")); });
        QObject::connect(&session, &VaultSession::rowChanged,
                         [add](int row) { add(QStringLiteral("changed %1").arg(row)); });
        QObject::connect(&session, &VaultSession::rowsAboutToBeRemoved,
                         [add](int a, int b) { add(QStringLiteral("remove %1-%2").arg(a).arg(b)); });
        QObject::connect(&session, &VaultSession::rowsRemoved, [add] { add(QStringLiteral("removed")); });
        QObject::connect(&session, &VaultSession::rowsAboutToBeReordered, [add] { add(QStringLiteral("reorder")); });
        QObject::connect(&session, &VaultSession::rowsReordered, [add](const std::vector<int>& order) {
            QStringList rows;
            for (int r : order)
                rows.append(QString::number(r));
            add(QStringLiteral("reordered ") + rows.join(QLatin1Char(',')));
        });
        QObject::connect(&session, &VaultSession::rowsAboutToBeReset, [add] { add(QStringLiteral("reset")); });
        QObject::connect(&session, &VaultSession::rowsReset, [add] { add(QStringLiteral("was reset")); });
    }
    QStringList lines;
};

std::vector<Entry> rows(const VaultSession& session)
{
    return session.entries().entries();
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Entry>)

class TestVaultSession : public QObject {
    Q_OBJECT
private slots:
    void openingAndThePassword_data();
    void openingAndThePassword();
    void fileThatCannotBeOpened();
    void changesAreSavedAtOnceAndReported();
    void sortedListSavesAsShownAgainAndAgain();
    void replaceOfAGoneEntryAddsIt();
    void failedSaveKeepsTheChange();
    void changesMadeElsewhereAreMerged_data();
    void changesMadeElsewhereAreMerged();
    void reloadFollowsTheFile();
    void sealedFilesMergeToo();
};

void TestVaultSession::openingAndThePassword_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file yet
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("creates");
    QTest::addColumn<bool>("unlocks");
    QTest::addColumn<std::vector<Entry>>("entries");
    QTest::addColumn<int>("damaged");
    QTest::addColumn<QByteArray>("after"); // the file once the password is in place
    const QByteArray two = fullVault(QStringLiteral("master"), {kMail, kBank});
    QTest::newRow("no file: created, then a password")
        << QByteArray() << "master" << true << true << std::vector<Entry>{} << 0
        << vaultformat::passwordOnly(QStringLiteral("master"));
    QTest::newRow("right password") << two << "master" << false << true << std::vector<Entry>{kMail, kBank} << 0 << two;
    QTest::newRow("wrong password") << two << "Master" << false << false << std::vector<Entry>{} << 0 << two;
    QTest::newRow("empty password") << two << "" << false << false << std::vector<Entry>{} << 0 << two;
    // Line 1 lost: the entries stay, under the new password.
    const QByteArray lost = vaultformat::emptyFile() + two.mid(two.indexOf("\r\n") + 2);
    QTest::newRow("line 1 lost, entries kept") << lost << "new one" << true << true << std::vector<Entry>{kMail, kBank}
                                               << 0 << fullVault(QStringLiteral("new one"), {kMail, kBank});
    QByteArray damaged = vaultformat::passwordOnly(QStringLiteral("master"));
    damaged += vaultformat::encipheredBytes(u"only a name").value + "\r\n";
    QTest::newRow("a damaged line counted")
        << damaged << "master" << false << true
        << std::vector<Entry>{Entry{QStringLiteral("only a name"), QString(), QString()}} << 1 << damaged;
}

void TestVaultSession::openingAndThePassword()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, typed);
    QFETCH(bool, creates);
    QFETCH(bool, unlocks);
    QFETCH(std::vector<Entry>, entries);
    QFETCH(int, damaged);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    if (!file.isEmpty())
        writeFile(path, file);
    VaultSession session(path);
    const SessionLog log(session);
    const VaultSession::Opened opened = session.open();
    QVERIFY2(opened.ok, qPrintable(opened.reason));
    if (file.isEmpty())
        QCOMPARE(readFile(path), vaultformat::emptyFile());
    QCOMPARE(session.needsNewPassword(), creates);
    if (creates) {
        const VaultSession::Created created = session.createPassword(typed);
        QVERIFY(created.ok);
        QCOMPARE(created.loaded.entries, int(entries.size()));
        QCOMPARE(created.loaded.damagedLines, damaged);
    } else {
        VaultSession::Loaded loaded;
        QCOMPARE(session.unlock(typed, &loaded) == VaultSession::Unlock::Unlocked, unlocks);
        if (unlocks) {
            QCOMPARE(loaded.entries, int(entries.size()));
            QCOMPARE(loaded.damagedLines, damaged);
        }
    }
    QCOMPARE(session.unlocked(), unlocks);
    QCOMPARE(rows(session), entries);
    const QStringList reset{QStringLiteral("reset"), QStringLiteral("was reset")};
    QCOMPARE(log.lines, unlocks ? reset : QStringList());
    QCOMPARE(readFile(path), after);
}

void TestVaultSession::fileThatCannotBeOpened()
{
    QTemporaryDir dir;
    // A folder where the file should be.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("data.enc")));
    VaultSession folder(dir.filePath(QStringLiteral("data.enc")));
    VaultSession::Opened opened = folder.open();
    QVERIFY(!opened.ok);
    QVERIFY(!opened.reason.isEmpty());
    // A folder that does not exist: cannot be created.
    VaultSession missing(dir.filePath(QStringLiteral("nowhere/data.enc")));
    opened = missing.open();
    QVERIFY(!opened.ok);
    QVERIFY(opened.creating);
}

void TestVaultSession::changesAreSavedAtOnceAndReported()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    writeFile(path, fullVault(QStringLiteral("master"), {kMail}));
    VaultSession session(path);
    QVERIFY(session.open().ok);
    QVERIFY(session.unlock(QStringLiteral("master")) == VaultSession::Unlock::Unlocked);
    SessionLog watched(session);
    QStringList& log = watched.lines;
    const auto fileOf = [](const std::vector<Entry>& entries) { return fullVault(QStringLiteral("master"), entries); };

    VaultSession::Saved added = session.add(kShop);
    QVERIFY(added.ok);
    QCOMPARE(added.row, 1);
    QCOMPARE(readFile(path), fileOf({kMail, kShop}));
    QCOMPARE(log, (QStringList{QStringLiteral("insert 1-1"), QStringLiteral("inserted")}));

    log.clear();
    session.sort({true, 0, Qt::DescendingOrder}); // cid, ann: not saved until the next change
    QCOMPARE(log, (QStringList{QStringLiteral("reorder"), QStringLiteral("reordered 1,0")}));
    QCOMPARE(readFile(path), fileOf({kMail, kShop}));

    log.clear();
    added = session.add(kBank); // goes to its sorted place
    QCOMPARE(added.row, 1);
    QCOMPARE(readFile(path), fileOf({kShop, kBank, kMail}));
    QCOMPARE(log, (QStringList{QStringLiteral("insert 1-1"), QStringLiteral("inserted")}));

    log.clear();
    const Entry edited{QStringLiteral("bob"), QStringLiteral("new"), QStringLiteral("bank.example.com")};
    const VaultSession::Saved replaced = session.replace(session.entries().idAt(1), kBank, edited);
    QVERIFY(replaced.ok);
    QCOMPARE(replaced.row, 1);
    QCOMPARE(readFile(path), fileOf({kShop, edited, kMail}));
    QCOMPARE(log, QStringList{QStringLiteral("changed 1")});

    log.clear();
    QVERIFY(session.remove(0).ok);
    QCOMPARE(readFile(path), fileOf({edited, kMail}));
    QCOMPARE(log, (QStringList{QStringLiteral("remove 0-0"), QStringLiteral("removed")}));
}

// After a sort the saves write the sorted rows, also once the rows' text has moved into the
// order of the file a save wrote: with a damaged line and an entry the code page cannot hold.
void TestVaultSession::sortedListSavesAsShownAgainAndAgain()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    QByteArray file = fullVault(QStringLiteral("master"), {kMail, kBank});
    file += QByteArray("\xF8\xFC\r\n"); // the line "x|", enciphered: a damaged line
    writeFile(path, file);
    VaultSession session(path);
    QVERIFY(session.open().ok);
    QVERIFY(session.unlock(QStringLiteral("master")) == VaultSession::Unlock::Unlocked);
    const Entry damaged{QStringLiteral("x|"), QString(), QString()};
    const Entry wide{QStringLiteral("\u65e5\u672c"), QStringLiteral("pw4"), QString()};
    QCOMPARE(rows(session), (std::vector<Entry>{kMail, kBank, damaged}));
    QVERIFY(session.add(wide).ok);
    const auto fileOf = [](const std::vector<Entry>& entries) { return fullVault(QStringLiteral("master"), entries); };

    session.sort({true, 0, Qt::DescendingOrder});
    QVERIFY(session.add(kShop).ok);
    QCOMPARE(readFile(path), fileOf({wide, damaged, kShop, kBank, kMail}));
    const Entry edited{QStringLiteral("ann"), QStringLiteral("new"), QStringLiteral("mail.example.com")};
    QVERIFY(session.replace(session.entries().idAt(4), kMail, edited).ok);
    QCOMPARE(readFile(path), fileOf({wide, damaged, kShop, kBank, edited}));
    QVERIFY(session.remove(1).ok);
    QCOMPARE(readFile(path), fileOf({wide, kShop, kBank, edited}));
    session.sort({true, 0, Qt::AscendingOrder});
    QVERIFY(session.remove(2).ok);
    QCOMPARE(readFile(path), fileOf({edited, kBank, wide}));
    QCOMPARE(rows(session), (std::vector<Entry>{edited, kBank, wide}));
}

void TestVaultSession::replaceOfAGoneEntryAddsIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    writeFile(path, fullVault(QStringLiteral("master"), {kMail, kBank}));
    VaultSession session(path);
    QVERIFY(session.open().ok);
    QVERIFY(session.unlock(QStringLiteral("master")) == VaultSession::Unlock::Unlocked);
    const quint64 bank = session.entries().idAt(1);
    QVERIFY(session.remove(1).ok);
    const VaultSession::Saved replaced = session.replace(bank, kBank, kShop);
    QVERIFY(replaced.ok);
    QCOMPARE(replaced.row, 1);
    QCOMPARE(readFile(path), fullVault(QStringLiteral("master"), {kMail, kShop}));
}

void TestVaultSession::failedSaveKeepsTheChange()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    const QByteArray before = fullVault(QStringLiteral("master"), {kMail});
    writeFile(path, before);
    VaultSession session(path);
    QVERIFY(session.open().ok);
    QVERIFY(session.unlock(QStringLiteral("master")) == VaultSession::Unlock::Unlocked);
    QFile::setPermissions(path, QFile::ReadOwner);
    const VaultSession::Saved added = session.add(kBank);
    QVERIFY(!added.ok);
    QVERIFY(!added.reason.isEmpty());
    QCOMPARE(rows(session), (std::vector<Entry>{kMail, kBank}));
    QCOMPARE(readFile(path), before);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(session.save().ok);
    QCOMPARE(readFile(path), fullVault(QStringLiteral("master"), {kMail, kBank}));
}

namespace {

// Replaces the file as a sync tool does: written beside it, then renamed over it.
void replaceElsewhere(const QString& path, const QByteArray& bytes)
{
    const QString beside = path + QStringLiteral(".sync-tmp");
    writeFile(beside, bytes);
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(beside, path));
}

// The session opened and unlocked on a file of these entries under "master".
void unlockedOn(VaultSession& session, const std::vector<Entry>& entries)
{
    writeFile(session.path(), fullVault(QStringLiteral("master"), entries));
    QVERIFY(session.open().ok);
    QVERIFY(session.unlock(QStringLiteral("master")) == VaultSession::Unlock::Unlocked);
}

} // namespace

void TestVaultSession::changesMadeElsewhereAreMerged_data()
{
    QTest::addColumn<QString>("command");   // what this run does after the file changed elsewhere
    QTest::addColumn<QString>("elsewhere"); // the file as it is now; "other" is A B C under another password
    QTest::addColumn<QString>("merged");    // the file afterwards; "conflict": left alone, the list beside it
    QTest::addColumn<QString>("list");      // the list afterwards
    // This run starts from A B C; the merge table itself is the merge's own test.
    QTest::newRow("add, added elsewhere") << "add D"
                                          << "A B C X"
                                          << "A B C X D"
                                          << "A B C X D";
    QTest::newRow("edit, edited elsewhere") << "edit B to E"
                                            << "A B* C"
                                            << "A B* C E"
                                            << "A B* C E";
    QTest::newRow("delete, reordered elsewhere") << "delete B"
                                                 << "C B A"
                                                 << "C A"
                                                 << "C A";
    QTest::newRow("sort, added elsewhere") << "sort descending"
                                           << "A B C X"
                                           << "X C B A"
                                           << "X C B A";
    QTest::newRow("add, another password") << "add D"
                                           << "other"
                                           << "conflict"
                                           << "A B C D";
    QTest::newRow("sort, another password") << "sort descending"
                                            << "other"
                                            << "conflict"
                                            << "C B A";
}

void TestVaultSession::changesMadeElsewhereAreMerged()
{
    QFETCH(QString, command);
    QFETCH(QString, elsewhere);
    QFETCH(QString, merged);
    QFETCH(QString, list);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    const QString master = QStringLiteral("master");
    VaultSession session(path);
    unlockedOn(session, lettered(QStringLiteral("A B C")));

    const QByteArray other = elsewhere == QLatin1String("other")
                                 ? fullVault(QStringLiteral("other"), lettered(QStringLiteral("A B C")))
                                 : fullVault(master, lettered(elsewhere));
    replaceElsewhere(path, other);

    VaultSession::Saved saved;
    if (command == QLatin1String("add D")) {
        saved = session.add(lettered(QStringLiteral("D")).front());
    } else if (command == QLatin1String("edit B to E")) {
        saved = session.replace(session.entries().idAt(1), lettered(QStringLiteral("B")).front(),
                                lettered(QStringLiteral("E")).front());
    } else if (command == QLatin1String("delete B")) {
        saved = session.remove(1);
    } else {
        session.sort({true, 0, Qt::DescendingOrder});
        saved = session.save();
    }

    if (merged == QLatin1String("conflict")) {
        QVERIFY(!saved.ok);
        QCOMPARE(saved.reason, QStringLiteral("it is under another master password"));
        QCOMPARE(readFile(path), other); // never written over
        QVERIFY(saved.conflictFile.startsWith(path + QStringLiteral(".conflict-")));
        QCOMPARE(readFile(saved.conflictFile), fullVault(master, lettered(list)));
        QCOMPARE(QFileInfo(saved.conflictFile).permissions(), // owner-only
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    } else {
        QVERIFY2(saved.ok, qPrintable(saved.reason));
        QCOMPARE(saved.merged, true);
        QCOMPARE(readFile(path), fullVault(master, lettered(merged)));
    }
    QCOMPARE(rows(session), lettered(list));
    if (saved.row >= 0)
        QCOMPARE(session.entries().at(saved.row), lettered(command.right(1)).front());
}

void TestVaultSession::reloadFollowsTheFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    const QString master = QStringLiteral("master");
    VaultSession session(path);
    unlockedOn(session, lettered(QStringLiteral("A B C")));
    QSignalSpy reloaded(&session, &VaultSession::reloaded);
    QSignalSpy refused(&session, &VaultSession::notReloaded);
    session.watch();

    // Saved here: nothing to reload.
    QVERIFY(session.add(lettered(QStringLiteral("D")).front()).ok);
    QTest::qWait(700);
    QCOMPARE(reloaded.count(), 0);

    // Changed elsewhere: shown by itself.
    replaceElsewhere(path, fullVault(master, lettered(QStringLiteral("A C X"))));
    QTRY_COMPARE_WITH_TIMEOUT(reloaded.count(), 1, 5000);
    QCOMPARE(reloaded.first().first().toInt(), 3);
    QCOMPARE(rows(session), lettered(QStringLiteral("A C X")));

    // Under another password: left alone, said once.
    const QByteArray other = fullVault(QStringLiteral("other"), lettered(QStringLiteral("E")));
    replaceElsewhere(path, other);
    QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, 5000);
    QTest::qWait(2500);
    QCOMPARE(refused.count(), 1);
    QCOMPARE(rows(session), lettered(QStringLiteral("A C X")));
    QCOMPARE(readFile(path), other);
}

void TestVaultSession::sealedFilesMergeToo()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    const QString master = QStringLiteral("master");
    const auto sealedWith = [&](const QString& letters) {
        const sealedformat::KeyPtr key = sealedformat::newKey(master, sealedformat::minimumParams()).value;
        return sealedformat::seal(fullVault(master, lettered(letters)), *key);
    };
    writeFile(path, sealedWith(QStringLiteral("A B C")));
    VaultSession session(path);
    QVERIFY(session.open().ok);
    QVERIFY(session.unlock(master) == VaultSession::Unlock::Unlocked);
    QVERIFY(session.sealed());
    // Sealed again elsewhere, under a salt of its own, with one more entry.
    replaceElsewhere(path, sealedWith(QStringLiteral("A B C X")));
    const VaultSession::Saved saved = session.add(lettered(QStringLiteral("D")).front());
    QVERIFY2(saved.ok, qPrintable(saved.reason));
    QVERIFY(saved.merged);
    const sealedformat::Opened opened = sealedformat::open(readFile(path), master);
    QCOMPARE(opened.status, sealedformat::Status::Opened);
    QCOMPARE(opened.classic, fullVault(master, lettered(QStringLiteral("A B C X D"))));
}

QTEST_GUILESS_MAIN(TestVaultSession)
#include "test_vault_session.moc"
