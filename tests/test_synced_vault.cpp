// A data.enc that changes elsewhere while the program runs (a sync tool, another session): changes
// are merged, shown by themselves, and what cannot be merged is never written over.
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFormat.h"
#include "support/TestProgram.h"
#include "windows/editor/EntryEditor.h"
#include "windows/main/EntryListView.h"
#include "windows/main/MainWindow.h"

#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QStringList kStart = {QStringLiteral("ann|||pw-a|||a.example.com"), QStringLiteral("bob|||pw-b|||b.example.com"),
                            QStringLiteral("cid|||pw-c|||c.example.com")};
const QString kAdded = QStringLiteral("xan|||pw-x|||x.example.com");

// Replaces the file as a sync tool does: written beside it, then renamed over it.
void replaceElsewhere(TestProgram& p, const QByteArray& bytes)
{
    const QString beside = p.vaultPath() + QStringLiteral(".sync-tmp");
    QFile f(beside);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    QVERIFY(QFile::remove(p.vaultPath()));
    QVERIFY(QFile::rename(beside, p.vaultPath()));
}

void saveInEditor(TestProgram& p, const QString& user, const QString& pass, const QString& site)
{
    EntryEditor* editor = p.editor();
    QVERIFY(editor);
    editor->findChild<QLineEdit*>(QStringLiteral("txtUsername"))->setText(user);
    editor->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(pass);
    editor->findChild<QLineEdit*>(QStringLiteral("txtWebsite"))->setText(site);
    QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
}

QStringList usernamesIn(const QByteArray& file)
{
    QStringList names;
    for (const Entry& e : vaultformat::parse(file).entries)
        names.append(e.username);
    return names;
}

} // namespace

class TestSyncedVault : public QObject {
    Q_OBJECT
private slots:
    void commandsMergeWithAReplacedFile_data();
    void commandsMergeWithAReplacedFile();
    void changesElsewhereShowByThemselves();
    void openEditorKeepsWhatWasTypedThroughAReload();
    void anotherMasterPasswordIsNeverWrittenOver();
    void twoWritersLoseNothing();
    void conflictCopiesAreMergedByThemselves();
    void aSlowSealedFileFromElsewhereLeavesTheWindowsAnswering();
};

void TestSyncedVault::commandsMergeWithAReplacedFile_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QString>("status");
    QTest::newRow("add") << "add" << QStringList{kStart[0], kStart[1], kStart[2], kAdded, "dan|||pw-d|||"}
                         << "Added new entry.  Data saved.  Changes made elsewhere were merged.";
    QTest::newRow("edit") << "edit" << QStringList{kStart[0], "eve|||pw-e|||", kStart[2], kAdded}
                          << "Added new entry.  Data saved.  Changes made elsewhere were merged.";
    QTest::newRow("delete") << "delete" << QStringList{kStart[0], kStart[2], kAdded}
                            << "Entry deleted successfully, data saved.  Changes made elsewhere were merged.";
}

void TestSyncedVault::commandsMergeWithAReplacedFile()
{
    QFETCH(QString, command);
    QFETCH(QStringList, file);
    QFETCH(QString, status);
    TestProgram p;
    p.startWithEntries(kStart);
    // Another machine added an entry; the sync tool put its file in place.
    replaceElsewhere(p, savedVault(kStart + QStringList{kAdded}));
    if (command == QLatin1String("add")) {
        p.mainWindow()->addEntry();
        saveInEditor(p, QStringLiteral("dan"), QStringLiteral("pw-d"), QString());
    } else if (command == QLatin1String("edit")) {
        p.selectRow(1);
        p.mainWindow()->editSelected();
        saveInEditor(p, QStringLiteral("eve"), QStringLiteral("pw-e"), QString());
    } else {
        p.selectRow(1);
        p.fake.messages.answers = {MessageBoxes::Answer::Ok};
        p.mainWindow()->deleteSelected();
    }
    QCOMPARE(p.vaultBytes(), savedVault(file));
    QCOMPARE(p.status(), status);
    QCOMPARE(usernamesIn(p.vaultBytes()), usernamesIn(savedVault(file)));
    QStringList shown;
    for (const Entry& e : p.listEntries())
        shown.append(e.username);
    QCOMPARE(shown, usernamesIn(savedVault(file)));
}

void TestSyncedVault::changesElsewhereShowByThemselves()
{
    TestProgram p;
    p.startWithEntries(kStart);
    p.selectRow(2); // cid
    // Elsewhere: bob deleted, xan added, the order changed.
    replaceElsewhere(p, savedVault({kAdded, kStart[2], kStart[0]}));
    QTRY_VERIFY_WITH_TIMEOUT(p.status().startsWith(QLatin1String("The data file was changed elsewhere: the list was "
                                                                 "reloaded")),
                             5000);
    QCOMPARE(p.status(), QStringLiteral("The data file was changed elsewhere: the list was reloaded (3 entries)"));
    QCOMPARE(p.listEntries().size(), size_t(3));
    QCOMPARE(p.listEntries()[0].username, QStringLiteral("xan"));
    QCOMPARE(p.mainWindow()->firstSelectedRow(), 2); // cid, where it is now
    QCOMPARE(p.vaultBytes(), savedVault({kAdded, kStart[2], kStart[0]}));
}

void TestSyncedVault::openEditorKeepsWhatWasTypedThroughAReload()
{
    TestProgram p;
    p.startWithEntries(kStart);
    p.selectRow(1);
    p.mainWindow()->editSelected();
    QLineEdit* password = p.editor()->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
    password->setText(QStringLiteral("typed here"));
    replaceElsewhere(p, savedVault({kStart[2], kStart[1], kStart[0], kAdded}));
    QTRY_VERIFY_WITH_TIMEOUT(p.status().contains(QLatin1String("reloaded")), 5000);
    QCOMPARE(password->text(), QStringLiteral("typed here"));
    QTest::mouseClick(p.editor()->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
    // bob changed where he now is; nothing else touched.
    QCOMPARE(p.vaultBytes(),
             savedVault({kStart[2], QStringLiteral("bob|||typed here|||b.example.com"), kStart[0], kAdded}));
}

void TestSyncedVault::anotherMasterPasswordIsNeverWrittenOver()
{
    TestProgram p;
    p.startWithEntries(kStart);
    QByteArray other = vaultFile({QStringLiteral("someone else"), kAdded, QString()});
    replaceElsewhere(p, other);
    QTRY_VERIFY_WITH_TIMEOUT(p.status().contains(QLatin1String("it was not reloaded")), 5000);
    QCOMPARE(p.listEntries().size(), size_t(3));
    p.mainWindow()->addEntry();
    saveInEditor(p, QStringLiteral("dan"), QStringLiteral("pw-d"), QString());
    QCOMPARE(p.vaultBytes(), other);
    const QStringList beside =
        QDir(p.folder()).entryList({QStringLiteral("data.enc.conflict-*")}, QDir::Files | QDir::Hidden);
    QCOMPARE(beside.size(), 1);
    const QString conflict = p.folder() + QLatin1Char('/') + beside[0];
    QFile f(conflict);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), savedVault(kStart + QStringList{QStringLiteral("dan|||pw-d|||")}));
    QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
    QCOMPARE(p.fake.messages.boxes[0].icon, MessageBoxes::Icon::Warning);
    QVERIFY(p.fake.messages.boxes[0].text.contains(conflict));
    QVERIFY(p.fake.messages.boxes[0].text.contains(QLatin1String("under another master password")));
    QCOMPARE(p.status(),
             QStringLiteral("Not saved to the data file (it is under another master password); saved to ") + conflict);
}

void TestSyncedVault::twoWritersLoseNothing()
{
    TestProgram p;
    p.startWithEntries(kStart);
    QProcess other;
    other.start(
        QStringLiteral(KEYHAVEN_VAULT_WRITER),
        {p.vaultPath(), QStringLiteral("master"), QStringLiteral("there"), QStringLiteral("25"), QStringLiteral("15")});
    QVERIFY(other.waitForStarted());
    QStringList expected = {QStringLiteral("ann"), QStringLiteral("bob"), QStringLiteral("cid")};
    for (int i = 0; i < 25; ++i) {
        p.mainWindow()->addEntry();
        saveInEditor(p, QStringLiteral("here%1").arg(i), QStringLiteral("pw"), QString());
        QVERIFY2(p.status().startsWith(QLatin1String("Added new entry.  Data saved.")), qPrintable(p.status()));
        QTest::qWait(12);
        expected << QStringLiteral("here%1").arg(i) << QStringLiteral("there%1").arg(i);
    }
    // It may have ended already, while the loop above let events run.
    if (other.state() != QProcess::NotRunning)
        QVERIFY(other.waitForFinished(30000));
    QVERIFY2(other.exitStatus() == QProcess::NormalExit && other.exitCode() == 0,
             other.readAllStandardError().constData());
    QStringList saved = usernamesIn(p.vaultBytes());
    saved.sort();
    expected.sort();
    QStringList missing;
    for (const QString& name : expected)
        if (!saved.contains(name))
            missing.append(name);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("lost: ") + missing.join(QLatin1Char(' '))));
    QCOMPARE(saved, expected);
    // And the list shows them, once the file is looked at again.
    QTRY_COMPARE_WITH_TIMEOUT(p.listEntries().size(), size_t(expected.size()), 5000);
}

void TestSyncedVault::conflictCopiesAreMergedByThemselves()
{
    TestProgram p;
    p.startWithEntries(kStart);
    p.ctx->vault.watch();
    p.selectRow(2); // cid
    // Another machine's version, with xan added, and one under another password.
    const QString copy = p.folder() + QStringLiteral("/data.sync-conflict-20261211-101010-ABCDEF2.enc");
    const QString foreign = p.folder() + QStringLiteral("/data (Ann's conflicted copy 2026-12-11).enc");
    for (const auto& [path, bytes] : {std::pair{copy, savedVault(kStart + QStringList{kAdded})},
                                      std::pair{foreign, vaultFile({QStringLiteral("other"), kAdded})}}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTRY_VERIFY_WITH_TIMEOUT(p.status().contains(QLatin1String("Changes from another machine were merged.")), 5000);
    QVERIFY2(p.status().contains(QStringLiteral("Not merged: %1 (it is under another master password)")
                                     .arg(QDir::toNativeSeparators(foreign))),
             qPrintable(p.status()));
    QCOMPARE(p.listEntries().size(), size_t(4));
    QCOMPARE(p.mainWindow()->firstSelectedRow(), 3); // cid, still selected
    QCOMPARE(usernamesIn(p.vaultBytes()), (QStringList{"ann", "bob", "cid", "xan"}));
    QVERIFY(!QFile::exists(copy));
    QVERIFY(QFile::exists(foreign));
    // The one that cannot be merged was named in a box, once.
    QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
    QVERIFY(p.fake.messages.boxes[0].text.contains(QDir::toNativeSeparators(foreign)));
    QTest::qWait(2500);
    QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
}

void TestSyncedVault::aSlowSealedFileFromElsewhereLeavesTheWindowsAnswering()
{
    TestProgram p;
    p.startWithEntries(kStart);
    // Sealed under another password, asking for a slow key derivation.
    const sealedformat::KeyPtr key = sealedformat::newKey(QStringLiteral("not ours"), {8, quint64(256) << 20}).value;
    replaceElsewhere(p, sealedformat::seal(savedVault({kAdded}), *key));
    bool busyCursor = false;
    int paintedWhileBusy = 0;
    QTimer painter;
    painter.setInterval(10);
    connect(&painter, &QTimer::timeout, this, [&] {
        if (QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::BusyCursor) {
            busyCursor = true;
            paintedWhileBusy += p.mainWindow()->grab().isNull() ? 0 : 1;
        }
    });
    painter.start();
    QTRY_VERIFY_WITH_TIMEOUT(p.status().contains(QLatin1String("it is under another master password")), 60000);
    QVERIFY(busyCursor);
    QVERIFY2(paintedWhileBusy > 2, qPrintable(QString::number(paintedWhileBusy)));
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(p.listEntries().size(), size_t(3));
}

QTEST_MAIN(TestSyncedVault)
#include "test_synced_vault.moc"
