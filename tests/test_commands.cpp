// Delete, Copy, Go To, the menus and column sorting on the main window's list.
#include "core/main/GoToTarget.h"
#include "support/TestProgram.h"
#include "windows/main/EntryListView.h"
#include "windows/main/MainWindow.h"
#include "windows/platform/DesktopShell.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList usernames(const TestProgram& p)
{
    QStringList out;
    for (const Entry& e : p.listEntries())
        out << e.username;
    return out;
}

void clickHeader(TestProgram& p, int section)
{
    QHeaderView* header = p.mainWindow()->list().header();
    const QPoint at(header->sectionViewportPosition(section) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void goToTarget_data();
    void goToTarget();
    void desktopShellOpensWhatUserMeans();
    void goToOpensSelectedLocation();
    void goToNeverStartsAProgram_data();
    void goToNeverStartsAProgram();
    void copy_data();
    void copy();
    void hugeFieldIsCutWhereShown();
    void deleteConfirmation_data();
    void deleteConfirmation();
    void sortingByColumns();
    void sortEmptyListChangesNothing();
    void sortedOrderIsSavedAndAddedRowsFindTheirPlace();
};

void TestCommands::goToTarget_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("target");
    QTest::newRow("www without scheme") << "www.example.test"
                                        << "http://www.example.test";
    QTest::newRow(".COM in capitals") << "EXAMPLE.COM"
                                      << "http://EXAMPLE.COM";
    QTest::newRow("https kept") << "https://x.org/a"
                                << "https://x.org/a";
    QTest::newRow("http anywhere kept") << "see http://x.net"
                                        << "see http://x.net";
    QTest::newRow("HTTP in capitals kept") << "HTTP://x.edu"
                                           << "HTTP://x.edu";
    QTest::newRow("folder path") << "C:\\Data"
                                 << "C:\\Data";
    QTest::newRow("Organizer folder") << "/home/me/Organizer"
                                      << "http:///home/me/Organizer";
    QTest::newRow("biz without point") << "mybiz"
                                       << "http://mybiz";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("pasted blank after a web address") << "www.trail.com "
                                                      << "http://www.trail.com";
    QTest::newRow("blanks and a line end around a path") << "  C:\\Data\n"
                                                         << "C:\\Data";
    QTest::newRow("blanks only") << "   "
                                 << "";
}

void TestCommands::goToTarget()
{
    QFETCH(QString, location);
    QFETCH(QString, target);
    QCOMPARE(::goToTarget(location), target);
}

void TestCommands::goToOpensSelectedLocation()
{
    TestProgram p;
    p.startWithEntries({QStringLiteral("a|||b|||www.x.test"), QStringLiteral("c|||d|||")});
    p.mainWindow()->goToLocation();
    QCOMPARE(p.status(), QStringLiteral("You must first select an entry to go to."));
    QVERIFY(p.fake.shell.opened.isEmpty());
    p.selectRow(0);
    QTest::mouseClick(p.mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdGoto")), Qt::LeftButton);
    p.selectRow(1);
    p.mainWindow()->findChild<QAction*>(QStringLiteral("mnuDataItem_3"))->trigger();
    QCOMPARE(p.fake.shell.opened, (QStringList{QStringLiteral("http://www.x.test"), QString()}));
    QCOMPARE(p.status(), QStringLiteral("Opening Location..."));
    // When nothing opens it, the status line says so instead.
    p.fake.shell.answer = Result::failure(QStringLiteral("no program on this computer opens it"));
    p.selectRow(0);
    p.mainWindow()->goToLocation();
    QCOMPARE(p.status(), QStringLiteral("Could not open the location \"http://www.x.test\": no program on this "
                                        "computer opens it"));
}

void TestCommands::goToNeverStartsAProgram_data()
{
    QTest::addColumn<QString>("file");  // made in the program's folder; "" for none
    QTest::addColumn<QString>("kind");  // "+x", "plain", "folder", "elf" (a program without +x)
    QTest::addColumn<QString>("where"); // the location: "path", "file:" address, or as it is
    QTest::addColumn<bool>("opens");
    QTest::newRow("executable file") << "tool"
                                     << "+x"
                                     << "path" << false;
    QTest::newRow("script that may run") << "run.sh"
                                         << "+x"
                                         << "path" << false;
    QTest::newRow("program without execute permission") << "copied"
                                                        << "elf"
                                                        << "path" << false;
    QTest::newRow("launcher") << "app.desktop"
                              << "plain"
                              << "path" << false;
    QTest::newRow("launcher as a file: address") << "app.desktop"
                                                 << "plain"
                                                 << "file:" << false;
    QTest::newRow("shell script without execute permission") << "run.sh"
                                                             << "plain"
                                                             << "path" << false;
    QTest::newRow("folder") << "photos"
                            << "folder"
                            << "path" << true;
    QTest::newRow("document") << "notes.txt"
                              << "plain"
                              << "path" << true;
    QTest::newRow("document as a file: address") << "notes.txt"
                                                 << "plain"
                                                 << "file:" << true;
    QTest::newRow("web address") << ""
                                 << ""
                                 << "www.example.com" << true;
}

void TestCommands::goToNeverStartsAProgram()
{
    QFETCH(QString, file);
    QFETCH(QString, kind);
    QFETCH(QString, where);
    QFETCH(bool, opens);
    TestProgram p;
    const QString path = p.folder() + QLatin1Char('/') + file;
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("elf")) {
        QVERIFY(QFile::copy(QStringLiteral("/bin/true"), path));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    } else if (!kind.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file.endsWith(QLatin1String(".desktop")) ? "[Desktop Entry]\nType=Application\nExec=xterm\n"
                : file.endsWith(QLatin1String(".sh"))    ? "#!/bin/sh\necho hi\n"
                                                         : "notes\n");
        f.close();
        QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
        if (kind == QLatin1String("+x"))
            perms |= QFile::ExeOwner;
        QVERIFY(QFile::setPermissions(path, perms));
    }
    const QString location = where == QLatin1String("path")    ? path
                             : where == QLatin1String("file:") ? QUrl::fromLocalFile(path).toString()
                                                               : where;
    p.startWithEntries({QStringLiteral("a|||b|||") + location});
    p.selectRow(0);
    p.mainWindow()->goToLocation();
    QCOMPARE(p.fake.shell.opened.size(), opens ? 1 : 0);
    if (opens) {
        QCOMPARE(p.status(), QStringLiteral("Opening Location..."));
    } else {
        QCOMPARE(
            p.status(),
            QStringLiteral("Go To did not open \"%1\": it is a program, and Go To never starts one.").arg(location));
    }
}

// Takes the addresses that the desktop would open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

void TestCommands::desktopShellOpensWhatUserMeans()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
    QTemporaryDir folder;
    DesktopShell shell;
    QVERIFY(shell.open(QString()).ok);
    QVERIFY(shell.open(folder.path()).ok);
    QVERIFY(shell.open(QStringLiteral("http://www.x.test")).ok);
    const Result missing = shell.open(QStringLiteral("no such folder/anywhere"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(recorder.urls, (QList<QUrl>{QUrl::fromLocalFile(QDir::homePath()), QUrl::fromLocalFile(folder.path()),
                                         QUrl(QStringLiteral("http://www.x.test"))}));
    QVERIFY(!missing.ok);
    QVERIFY2(missing.reason.contains(QDir::home().filePath(QStringLiteral("no such folder/anywhere"))) &&
                 missing.reason.endsWith(QLatin1String("does not exist")),
             qPrintable(missing.reason));
}

void TestCommands::copy_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("viaMenu");
    QTest::addColumn<int>("row"); // -1: none selected
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("formats"); // what the clipboard offers besides the text's own
    const QStringList marked = {QStringLiteral("x-kde-passwordManagerHint")};
    QTest::newRow("username") << 0 << false << 0 << "user1"
                              << "Copied Username user1" << QStringList();
    QTest::newRow("password") << 1 << false << 1 << "pa ss"
                              << "Copied Password pa ss" << marked;
    QTest::newRow("password via menu") << 1 << true << 1 << "pa ss"
                                       << "Copied Password pa ss" << marked;
    QTest::newRow("location") << 2 << false << 0 << "site1"
                              << "Copied Location site1" << QStringList();
    QTest::newRow("empty location") << 2 << true << 1 << ""
                                    << "Copied Location " << QStringList();
    QTest::newRow("nothing selected") << 2 << false << -1 << ""
                                      << "You must first select a row to copy from." << QStringList();
}

void TestCommands::copy()
{
    QFETCH(int, index);
    QFETCH(bool, viaMenu);
    QFETCH(int, row);
    QFETCH(QString, copied);
    QFETCH(QString, status);
    QFETCH(QStringList, formats);
    TestProgram p;
    p.startWithEntries({QStringLiteral("user1|||pw1|||site1"), QStringLiteral("user2|||pa ss|||")});
    QGuiApplication::clipboard()->setText(QStringLiteral("left over"));
    p.selectRow(row);
    if (viaMenu)
        p.mainWindow()->findChild<QAction*>(QStringLiteral("mnuCopyItem_%1").arg(index))->trigger();
    else
        QTest::mouseClick(p.mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdCopy_%1").arg(index)),
                          Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QCOMPARE(p.status(), status);
    const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
    QStringList others = offered ? offered->formats() : QStringList(); // none once cleared
    others.removeAll(QStringLiteral("text/plain"));
    QCOMPARE(others, formats);
    if (!formats.isEmpty())
        QCOMPARE(offered->data(formats[0]), QByteArray("secret"));
}

void TestCommands::hugeFieldIsCutWhereShown()
{
    // A damaged file may hold a field of megabytes: commands use it whole, the panel and the
    // box show its start.
    const QString huge = QString(2'000'000, QLatin1Char('x'));
    TestProgram p;
    p.startWithEntries({QStringLiteral("u|||p|||") + huge});
    p.selectRow(0);
    QTest::mouseClick(p.mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdCopy_2")), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), huge);
    QCOMPARE(p.status(), (QStringLiteral("Copied Location ") + huge).left(1000) + QChar(0x2026));
    p.fake.messages.answers = {MessageBoxes::Answer::Cancel};
    p.mainWindow()->deleteSelected();
    QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
    QVERIFY(p.fake.messages.boxes[0].text.endsWith(QStringLiteral("Used At: ") + huge.left(1000) + QChar(0x2026)));
}

void TestCommands::deleteConfirmation_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<MessageBoxes::Answer>("answer");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("status");
    const QStringList two = {QStringLiteral("a|||b|||"), QStringLiteral("c|||d|||e")};
    QTest::newRow("ok") << 0 << MessageBoxes::Answer::Ok << QStringList{two[1]}
                        << "Entry deleted successfully, data saved.";
    QTest::newRow("cancel") << 0 << MessageBoxes::Answer::Cancel << two << "Entry not deleted, cancelled by user";
    QTest::newRow("box closed") << 1 << MessageBoxes::Answer::Closed << two << "Entry not deleted, cancelled by user";
    QTest::newRow("nothing selected") << -1 << MessageBoxes::Answer::Ok << two
                                      << "You must first select an entry to delete.";
}

void TestCommands::deleteConfirmation()
{
    QFETCH(int, row);
    QFETCH(MessageBoxes::Answer, answer);
    QFETCH(QStringList, after);
    QFETCH(QString, status);
    TestProgram p;
    p.startWithEntries({QStringLiteral("a|||b|||"), QStringLiteral("c|||d|||e")});
    p.selectRow(row);
    p.fake.messages.answers = {answer};
    QTest::mouseClick(p.mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdDelete")), Qt::LeftButton);
    QCOMPARE(p.status(), status);
    QCOMPARE(p.vaultBytes(), savedVault(after));
    if (row < 0) {
        QVERIFY(p.fake.messages.boxes.empty());
        return;
    }
    QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
    const auto& box = p.fake.messages.boxes[0];
    const QString expected = row == 0 ? QStringLiteral("Are you sure you want to delete the following information?"
                                                       "\r\n\r\nUsername: a\r\nPassword: b\r\nUsed At: ")
                                      : QStringLiteral("Are you sure you want to delete the following information?"
                                                       "\r\n\r\nUsername: c\r\nPassword: d\r\nUsed At: e");
    QCOMPARE(box.text, expected);
    QCOMPARE(box.title, QStringLiteral("Confirm Delete"));
    QCOMPARE(box.buttons, MessageBoxes::Buttons::OkCancel);
    QCOMPARE(box.icon, MessageBoxes::Icon::None);
    // The last row too: the file keeps the password line and the closing empty line.
    if (answer == MessageBoxes::Answer::Ok) {
        p.selectRow(0);
        p.mainWindow()->findChild<QAction*>(QStringLiteral("mnuDataItem_1"))->trigger();
        QCOMPARE(p.vaultBytes(), QByteArray::fromHex("EDE1F3F4E5F20D0A0D0A"));
        QVERIFY(p.listEntries().empty());
    }
}

void TestCommands::sortingByColumns()
{
    TestProgram p;
    p.startWithEntries(
        {QStringLiteral("bob|||10|||Zeta"), QStringLiteral("Alice|||9|||alpha"), QStringLiteral("carl|||100|||Beta")});
    clickHeader(p, 0);
    QCOMPARE(usernames(p), (QStringList{"Alice", "bob", "carl"})); // case ignored
    clickHeader(p, 0);
    QCOMPARE(usernames(p), (QStringList{"carl", "bob", "Alice"}));
    clickHeader(p, 1); // direction flips across columns: ascending again, as text
    QCOMPARE(usernames(p), (QStringList{"bob", "carl", "Alice"}));
    clickHeader(p, 2);
    QCOMPARE(usernames(p), (QStringList{"bob", "carl", "Alice"})); // Zeta, Beta, alpha
    clickHeader(p, 2);
    QCOMPARE(usernames(p), (QStringList{"Alice", "carl", "bob"}));
    // The selection moves with its row.
    p.selectRow(0);
    clickHeader(p, 0);
    QCOMPARE(p.mainWindow()->list().entries().at(p.mainWindow()->firstSelectedRow() - 1).username,
             QStringLiteral("Alice"));
}

void TestCommands::sortEmptyListChangesNothing()
{
    TestProgram p;
    p.startWithEntries({});
    clickHeader(p, 2);
    QVERIFY(!p.mainWindow()->list().header()->isSortIndicatorShown());
    // The first click on a list with entries still sorts ascending.
    p.ctx->vault.add({QStringLiteral("b"), QStringLiteral("1"), {}});
    p.ctx->vault.add({QStringLiteral("a"), QStringLiteral("2"), {}});
    clickHeader(p, 0);
    QCOMPARE(usernames(p), (QStringList{"a", "b"}));
    QVERIFY(p.fake.messages.boxes.empty());
}

void TestCommands::sortedOrderIsSavedAndAddedRowsFindTheirPlace()
{
    TestProgram p;
    p.startWithEntries({QStringLiteral("c|||1|||"), QStringLiteral("a|||2|||"), QStringLiteral("d|||3|||")});
    clickHeader(p, 0);
    p.selectRow(2);
    p.fake.messages.answers = {MessageBoxes::Answer::Ok};
    p.mainWindow()->deleteSelected(); // removes d, saves the sorted rest
    QCOMPARE(p.vaultBytes(), savedVault({QStringLiteral("a|||2|||"), QStringLiteral("c|||1|||")}));
    p.ctx->vault.add({QStringLiteral("b"), QStringLiteral("4"), {}});
    QCOMPARE(usernames(p), (QStringList{"a", "b", "c"}));
}

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
