// keyhaven-cli, run as a user runs it, on small data files; and its CSV reading and writing.
#include "core/exchange/Csv.h"
#include "core/exchange/ImportCsv.h"
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultLock.h"
#include "support/VaultBytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

#include <sys/stat.h>

Q_DECLARE_METATYPE(std::vector<Entry>)

namespace {

const Entry kAnn{QStringLiteral("ann"), QStringLiteral("pw1"), QStringLiteral("mail.example.com")};
const Entry kBob{QStringLiteral("bob"), QStringLiteral("pw2"), QString()};

struct Ran {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// asAnotherUser: as root, run as nobody, for whom permissions hold.
Ran runCli(const QString& file, const QStringList& args, const QByteArray& input, bool asAnotherUser = false)
{
    QProcess cli;
    const QStringList words = QStringList{QStringLiteral("--file"), file} + args;
    if (asAnotherUser && ::geteuid() == 0)
        cli.start(QStringLiteral("setpriv"),
                  QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                              QStringLiteral("--clear-groups"), QStringLiteral(KEYHAVEN_CLI)} +
                      words);
    else
        cli.start(QStringLiteral(KEYHAVEN_CLI), words);
    cli.write(input);
    cli.closeWriteChannel();
    Ran ran;
    if (!cli.waitForFinished(20000))
        return ran;
    ran.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    ran.out = cli.readAllStandardOutput();
    ran.err = cli.readAllStandardError();
    return ran;
}

// Runs keyhaven-cli on a pseudo-terminal, as its controlling terminal. At the master password
// prompt, once echo is off, types "master" or, interrupting, Ctrl-C. out: what the terminal
// showed; err: how the program ended and whether the terminal echoes after it ("exit=0 echo=1").
const char* const kOnATerminal = R"py(
import fcntl, os, select, sys, termios
cli, interrupt, args = sys.argv[1], sys.argv[2] == "interrupt", sys.argv[3:]
master, slave = os.openpty()
pid = os.fork()
if pid == 0:
    os.setsid()
    fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
    for fd in (0, 1, 2):
        os.dup2(slave, fd)
    os.execv(cli, [cli] + args)
echoes = lambda: bool(termios.tcgetattr(slave)[3] & termios.ECHO)
shown, ended = b"", None
def take():
    global shown
    while select.select([master], [], [], 0.05)[0]:
        shown += os.read(master, 65536)
while b"Master password: " not in shown or echoes():
    take()
os.write(master, b"\x03" if interrupt else b"master\n")
while ended is None:
    take()
    done, status = os.waitpid(pid, os.WNOHANG)
    ended = status if done else None
take()
sys.stdout.buffer.write(shown)
how = "signal=%d" % os.WTERMSIG(ended) if os.WIFSIGNALED(ended) else "exit=%d" % os.WEXITSTATUS(ended)
sys.stderr.write("%s echo=%d\n" % (how, echoes()))
)py";

Ran runOnATerminal(const QString& file, const QStringList& args, bool interrupt)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 QStringList{QStringLiteral("-c"), QString::fromUtf8(kOnATerminal), QStringLiteral(KEYHAVEN_CLI),
                             interrupt ? QStringLiteral("interrupt") : QStringLiteral("type"), QStringLiteral("--file"),
                             file} +
                     args);
    Ran ran;
    if (!python.waitForFinished(20000))
        return ran;
    ran.status = python.exitStatus() == QProcess::NormalExit ? python.exitCode() : -1;
    ran.out = python.readAllStandardOutput();
    ran.err = python.readAllStandardError();
    return ran;
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

std::vector<Entry> entriesIn(const QString& path)
{
    return vaultformat::parse(bytesOf(path)).entries;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void csvKeepsEveryField();
    void exportThenImportGivesTheSameEntries();
    void importsEachKindOfExport_data();
    void importsEachKindOfExport();
    void unstorableTextIsRefusedWithItsLines();
    void importRefuses_data();
    void importRefuses();
    void exportShowsPicturesOnATerminal();
    void ctrlCAtThePasswordGivesTheEchoBack();
    void aRunningProgramHoldsTheFile_data();
    void aRunningProgramHoldsTheFile();
    void readingWhereNothingCanBeWritten_data();
    void readingWhereNothingCanBeWritten();
    void sealAndUnseal();
    void conflictCopiesAreMergedAndGoWithAChange();
};

void TestCli::commands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<std::vector<Entry>>("after");
    const std::vector<Entry> start{kAnn, kBob};
    const QByteArray master = "master\n";
    QTest::newRow("list") << QStringList{"list"} << master << 0 << QByteArray("1\tann\tmail.example.com\n2\tbob\t\n")
                          << start;
    QTest::newRow("show") << QStringList{"show", "1"} << master << 0
                          << QByteArray("Username: ann\nPassword: pw1\nUsed At: mail.example.com\n") << start;
    QTest::newRow("show a row that is not there") << QStringList{"show", "3"} << master << 1 << QByteArray() << start;
    QTest::newRow("wrong password") << QStringList{"show", "1"} << QByteArray("Master\n") << 2 << QByteArray() << start;
    QTest::newRow("no password at all") << QStringList{"list"} << QByteArray() << 1 << QByteArray() << start;
    QTest::newRow("info") << QStringList{"info"} << master << 0
                          << QByteArray("Format: classic\nEntries: 2\nConflict copies waiting: 0\n") << start;
    QTest::newRow("add") << QStringList{"add", "--username", "cid", "--location", "shop.example.com"}
                         << QByteArray("master\nsecret 3\n") << 0 << QByteArray()
                         << std::vector<Entry>{kAnn, kBob, {"cid", "secret 3", "shop.example.com"}};
    QTest::newRow("add without a password")
        << QStringList{"add", "--username", "cid"} << QByteArray("master\n\n") << 1 << QByteArray() << start;
    QTest::newRow("add what the file cannot hold")
        << QStringList{"add", "--username", "a|||b"} << QByteArray("master\npw\n") << 1 << QByteArray() << start;
    QTest::newRow("add without a username") << QStringList{"add"} << master << 1 << QByteArray() << start;
    QTest::newRow("edit the location") << QStringList{"edit", "2", "--location", "bank.example.com"} << master << 0
                                       << QByteArray() << std::vector<Entry>{kAnn, {"bob", "pw2", "bank.example.com"}};
    QTest::newRow("edit the password") << QStringList{"edit", "1", "--password"} << QByteArray("master\nnew pw\n") << 0
                                       << QByteArray()
                                       << std::vector<Entry>{{"ann", "new pw", "mail.example.com"}, kBob};
    QTest::newRow("rm") << QStringList{"rm", "1"} << master << 0 << QByteArray() << std::vector<Entry>{kBob};
    // A file from elsewhere may hold control characters: the terminal is shown their pictures.
    const Entry steering{QStringLiteral("\x1b]0;owned\x07"
                                        "ann"),
                         QStringLiteral("p\x1b[2Jw"), QStringLiteral("a\tb\r")};
    QTest::newRow("list control characters")
        << QStringList{"list"} << master << 0 << QStringLiteral("1\t\u241b]0;owned\u2407ann\ta\u2409b\u240d\n").toUtf8()
        << std::vector<Entry>{steering};
    QTest::newRow("show control characters")
        << QStringList{"show", "1"} << master << 0
        << QStringLiteral("Username: \u241b]0;owned\u2407ann\nPassword: p\u241b[2Jw\nUsed At: a\u2409b\u240d\n")
               .toUtf8()
        << std::vector<Entry>{steering};
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << master << 1 << QByteArray() << start;
    QTest::newRow("password on the command line")
        << QStringList{"add", "--username", "x", "--password", "pw"} << master << 1 << QByteArray() << start;
    // Only the options a command takes, each once.
    QTest::newRow("rm with a location") << QStringList{"rm", "1", "--location", "x"} << master << 1 << QByteArray()
                                        << start;
    QTest::newRow("list with a username")
        << QStringList{"list", "--username", "a"} << master << 1 << QByteArray() << start;
    QTest::newRow("show with --password")
        << QStringList{"show", "1", "--password"} << master << 1 << QByteArray() << start;
    QTest::newRow("an option twice") << QStringList{"edit", "1", "--location", "a", "--location", "b"} << master << 1
                                     << QByteArray() << start;
}

void TestCli::commands()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(std::vector<Entry>, after);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    const bool steering = QByteArray(QTest::currentDataTag()).endsWith("control characters");
    writeBytes(file, fullVault(QStringLiteral("master"), steering ? after : std::vector<Entry>{kAnn, kBob}));
    const QByteArray before = bytesOf(file);
    const Ran ran = runCli(file, args, input);
    QVERIFY2(ran.status == status, ran.err.constData());
    if (args.first() == QLatin1String("info"))
        QVERIFY2(ran.out.endsWith(out) && ran.out.startsWith("File: "), ran.out.constData());
    else
        QCOMPARE(ran.out, out);
    QCOMPARE(entriesIn(file), after);
    if (status != 0)
        QCOMPARE(bytesOf(file), before); // nothing written
    if (status != 0)
        QVERIFY(!ran.err.isEmpty());
}

void TestCli::csvKeepsEveryField()
{
    const std::vector<QStringList> records = {
        {QStringLiteral("a,b"), QStringLiteral("say \"hi\""), QStringLiteral("two\r\nlines")},
        {QStringLiteral(" blanks "), QString(), QStringLiteral("Ünïcödé ß €")},
        {QStringLiteral("last"), QStringLiteral("line\nbreak"), QStringLiteral("x")}};
    const QByteArray text = csv::write(records);
    QVERIFY(text.endsWith("\r\n"));
    const std::vector<csv::Record> read = csv::read(text).value;
    QCOMPARE(read.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i)
        QCOMPARE(read[i].fields, records[i]);
    QCOMPARE(read[0].line, 1);
    QCOMPARE(read[1].line, 3); // the first record spans two lines
    QCOMPARE(read[2].line, 4);
    // A field that starts with U+FEFF keeps it, even first in the file, where a byte-order mark goes.
    const QStringList marked = {QStringLiteral("\uFEFFfirst"), QStringLiteral("x")};
    QCOMPARE(csv::read(csv::write({marked})).value.front().fields, marked);
    // LF line ends, a byte-order mark and no last line end read the same.
    const std::vector<csv::Record> plain = csv::read("\xEF\xBB\xBFu,p\nv,\"q\nr\"").value;
    QCOMPARE(plain.size(), size_t(2));
    QCOMPARE(plain[0].fields, (QStringList{"u", "p"}));
    QCOMPARE(plain[1].fields, (QStringList{"v", "q\nr"}));
}

void TestCli::exportThenImportGivesTheSameEntries()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    const std::vector<Entry> tricky = {
        kAnn, {"comma, inside", "quote \" inside", "line\r\nbreak"}, {" blanks ", "Ünïcödé ß €", ""}, kBob};
    writeBytes(file, fullVault(QStringLiteral("master"), tricky));
    const Ran exported = runCli(file, {QStringLiteral("export")}, "master\n");
    QCOMPARE(exported.status, 0);
    QVERIFY(exported.out.startsWith("username,password,location\r\n"));
    const QString csvFile = dir.filePath(QStringLiteral("out.csv"));
    writeBytes(csvFile, exported.out);
    const QString other = dir.filePath(QStringLiteral("other.enc"));
    writeBytes(other, vaultformat::passwordOnly(QStringLiteral("another")));
    const Ran imported = runCli(other, {QStringLiteral("import"), csvFile}, "another\n");
    QVERIFY2(imported.status == 0, imported.err.constData());
    QCOMPARE(entriesIn(other), tricky);
}

void TestCli::importsEachKindOfExport_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<std::vector<Entry>>("entries");
    const std::vector<Entry> two = {{"ann", "pw1", "https://mail.example.com/"}, {"bob", "p,w\"2", ""}};
    QTest::newRow("this program's own") << QByteArray("username,password,location\r\nann,pw1,https://mail.example.com/"
                                                      "\r\nbob,\"p,w\"\"2\",\r\n")
                                        << two;
    QTest::newRow("Username, Password, URL with Group and Title")
        << QByteArray("\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\","
                      "\"Last Modified\",\"Created\"\n\"Root\",\"Mail\",\"ann\",\"pw1\",\"https://mail.example.com/\","
                      "\"\",\"\",\"0\",\"2026-01-01T00:00:00Z\",\"2026-01-01T00:00:00Z\"\n\"Root\",\"Bank\",\"bob\","
                      "\"p,w\"\"2\",\"\",\"a note\nover two lines\",\"\",\"0\",\"\",\"\"\n")
        << two;
    QTest::newRow("login_username, login_password, login_uri")
        << QByteArray("folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,"
                      "login_totp\n,,login,Mail,,,0,https://mail.example.com/,ann,pw1,\n,,login,Bank,,,0,,bob,"
                      "\"p,w\"\"2\",\n,,note,A note,secret text,,0,,,,\n")
        << two;
    QTest::newRow("url, username, password") << QByteArray("url,username,password,httpRealm,formActionOrigin,guid,"
                                                           "timeCreated\nhttps://mail.example.com/,ann,pw1,,,{1},1\n,"
                                                           "bob,\"p,w\"\"2\",,,{2},2\n")
                                             << two;
    QTest::newRow("name, url, username, password, note")
        << QByteArray("name,url,username,password,note\nMail,https://mail.example.com/,ann,pw1,\nBank,,bob,"
                      "\"p,w\"\"2\",\n")
        << two;
}

void TestCli::importsEachKindOfExport()
{
    QFETCH(QByteArray, csv);
    QFETCH(std::vector<Entry>, entries);
    const ResultWith<std::vector<Entry>> read = importcsv::entries(csv);
    QVERIFY2(read.ok, qPrintable(read.reason));
    QCOMPARE(read.value, entries);
}

void TestCli::unstorableTextIsRefusedWithItsLines()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    writeBytes(file, fullVault(QStringLiteral("master"), {kAnn}));
    const QByteArray before = bytesOf(file);
    const QString csvFile = dir.filePath(QStringLiteral("in.csv"));
    writeBytes(csvFile, "username,password,location\n"
                        "fine,pw,\n"
                        "\"two\nlines\",pw,\n"             // lines 3 and 4, and fine
                        "a|||b,pw,\n"                      // line 5
                        "ok,pw,\xE6\x97\xA5\xE6\x9C\xAC\n" // line 6: outside the code page
                        "ends in bar|,pw,\n");             // line 7
    const Ran ran = runCli(file, {QStringLiteral("import"), csvFile}, "master\n");
    QCOMPARE(ran.status, 1);
    QCOMPARE(bytesOf(file), before);
    for (const char* line : {"line 5:", "line 6:", "line 7:"})
        QVERIFY2(ran.err.contains(line), ran.err.constData());
    QVERIFY2(!ran.err.contains("line 2:") && !ran.err.contains("line 3:"), ran.err.constData());
    // An unknown header is refused as such.
    writeBytes(csvFile, "a,b,c\n1,2,3\n");
    const Ran unknown = runCli(file, {QStringLiteral("import"), csvFile}, "master\n");
    QCOMPARE(unknown.status, 1);
    QVERIFY(unknown.err.contains("header"));
}

void TestCli::importRefuses_data()
{
    QTest::addColumn<QString>("source"); // in the temporary folder, or a path
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("reason");
    const QByteArray ann = "username,password,location\nann,pw1,\n";
    QTest::newRow("an unclosed quote") << "in.csv" << ann + "bob,\"pw2,\ncid,pw3,\n"
                                       << QByteArray("line 3: a quoted field is not closed");
    QTest::newRow("no username") << "in.csv" << ann + ",pw2,x\n" << QByteArray("line 3: You must enter a username");
    QTest::newRow("no password") << "in.csv" << ann + "bob,,\n" << QByteArray("line 3: You must enter a password");
    QTest::newRow("a device") << "/dev/zero" << QByteArray() << QByteArray("is no file but a device");
    QTest::newRow("a pipe") << "pipe" << QByteArray() << QByteArray("is no file but a pipe");
    QTest::newRow("too large") << "big.csv" << QByteArray() << QByteArray("is larger than 256 MiB");
}

void TestCli::importRefuses()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, reason);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    writeBytes(file, fullVault(QStringLiteral("master"), {kAnn}));
    const QByteArray before = bytesOf(file);
    const QString path = QDir::isAbsolutePath(source) ? source : dir.filePath(source);
    if (!csv.isEmpty())
        writeBytes(path, csv);
    if (source == QLatin1String("pipe"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    QFile big(path);
    if (source == QLatin1String("big.csv"))
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(257) << 20)); // sparse: takes no disk
    const Ran ran = runCli(file, {QStringLiteral("import"), path}, "master\n");
    QVERIFY2(ran.status == 1, ran.err.constData());
    QVERIFY2(ran.err.contains(reason), ran.err.constData());
    QVERIFY(ran.out.isEmpty());
    QCOMPARE(bytesOf(file), before);
}

// A terminal is shown the pictures of control characters, export included; a pipe gets the text.
void TestCli::exportShowsPicturesOnATerminal()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    const Entry steering{QStringLiteral("\x1b]0;title\x07"), QStringLiteral("\x1b]52;c;aGk=\x07"),
                         QStringLiteral("\x1b[8m")};
    writeBytes(file, fullVault(QStringLiteral("master"), {steering}));
    const Ran shown = runOnATerminal(file, {QStringLiteral("export")}, false);
    QCOMPARE(shown.err, QByteArray("exit=0 echo=1\n"));
    QVERIFY2(!shown.out.contains('\x1b') && !shown.out.contains('\x07'), shown.out.constData());
    QVERIFY2(shown.out.contains(QStringLiteral("\u241b]0;title\u2407,\u241b]52;c;aGk=\u2407,\u241b[8m").toUtf8()),
             shown.out.constData());
    const Ran piped = runCli(file, {QStringLiteral("export")}, "master\n");
    QCOMPARE(piped.status, 0);
    QVERIFY(piped.out.endsWith("\x1b]0;title\x07,\x1b]52;c;aGk=\x07,\x1b[8m\r\n"));
}

void TestCli::ctrlCAtThePasswordGivesTheEchoBack()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    writeBytes(file, fullVault(QStringLiteral("master"), {kAnn}));
    const Ran ran = runOnATerminal(file, {QStringLiteral("list")}, true);
    QCOMPARE(ran.err, QByteArray("signal=2 echo=1\n"));
    QVERIFY(!ran.out.contains("ann"));
}

void TestCli::aRunningProgramHoldsTheFile_data()
{
    QTest::addColumn<QString>("reachedBy");
    QTest::newRow("its own path") << "path";
    QTest::newRow("a symbolic link") << "symbolic link";
    QTest::newRow("a hard link") << "hard link";
}

void TestCli::aRunningProgramHoldsTheFile()
{
    QFETCH(QString, reachedBy);
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    writeBytes(file, fullVault(QStringLiteral("master"), {kAnn}));
    const QByteArray before = bytesOf(file);
    QString path = file;
    if (reachedBy != QLatin1String("path")) {
        path = elsewhere.filePath(QStringLiteral("other.enc"));
        QVERIFY((reachedBy == QLatin1String("hard link") ? ::link : ::symlink)(
                    QFile::encodeName(file).constData(), QFile::encodeName(path).constData()) == 0);
    }
    VaultLock program;
    QVERIFY(program.tryAcquire(file));
    const QString csvFile = dir.filePath(QStringLiteral("in.csv"));
    writeBytes(csvFile, "username,password,location\nbob,pw2,\n");
    const Ran ran = runCli(path, {QStringLiteral("import"), csvFile}, "master\n");
    QCOMPARE(ran.status, 3);
    QVERIFY(ran.out.isEmpty());
    QVERIFY2(ran.err.contains("a running Keyhaven holds"), ran.err.constData());
    QCOMPARE(bytesOf(file), before);
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             reachedBy == QLatin1String("path") ? QStringList() : QStringList{QStringLiteral("other.enc")});
    program.release();
    QCOMPARE(runCli(path, {QStringLiteral("import"), csvFile}, "master\n").status, 0);
    QCOMPARE(entriesIn(path), (std::vector<Entry>{kAnn, {"bob", "pw2", ""}}));
}

void TestCli::readingWhereNothingCanBeWritten_data()
{
    QTest::addColumn<bool>("foreignLockFile"); // else: a folder that cannot be written
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("a folder that cannot be written") << false << QByteArray("cannot be written");
    QTest::newRow("another user's lock file") << true << QByteArray("its lock file belongs to another user");
}

void TestCli::readingWhereNothingCanBeWritten()
{
    QFETCH(bool, foreignLockFile);
    QFETCH(QByteArray, reason);
    const bool root = ::geteuid() == 0;
    if (foreignLockFile && !root)
        QSKIP("only root can give a lock file to another user");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    writeBytes(file, fullVault(QStringLiteral("master"), {kAnn}));
    const QByteArray before = bytesOf(file);
    // Readable by the one who runs it, the folder not writable by them.
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QFile::setPermissions(dir.path(), root ? QFile::Permissions(0x7755) : QFile::Permissions(0x5500));
    if (foreignLockFile)
        writeBytes(file + QStringLiteral(".lock"), QByteArray()); // root's, and only root's
    const Ran list = runCli(file, {QStringLiteral("list")}, "master\n", true);
    QVERIFY2(list.status == 0, list.err.constData());
    QCOMPARE(list.out, QByteArray("1\tann\tmail.example.com\n"));
    const Ran add = runCli(file, {QStringLiteral("add"), QStringLiteral("--username"), QStringLiteral("bob")},
                           "master\npw\n", true);
    QCOMPARE(add.status, 3);
    QVERIFY2(add.err.contains(reason), add.err.constData());
    QCOMPARE(bytesOf(file), before);
    QFile::setPermissions(dir.path(), QFile::Permissions(0x7700));
}

void TestCli::sealAndUnseal()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    const QByteArray classic = fullVault(QStringLiteral("master"), {kAnn, kBob});
    writeBytes(file, classic);
    QCOMPARE(runCli(file, {QStringLiteral("seal")}, "Master\n").status, 2); // a wrong password seals nothing
    QCOMPARE(bytesOf(file), classic);
    QCOMPARE(runCli(file, {QStringLiteral("seal")}, "master\n").status, 0);
    const QByteArray sealed = bytesOf(file);
    QVERIFY(sealedformat::isSealed(sealed));
    QVERIFY(!sealed.contains(classic.left(6)) && !sealed.contains("mail.example.com") && !sealed.contains("pw1"));
    const Ran info = runCli(file, {QStringLiteral("info")}, "master\n");
    QCOMPARE(info.status, 0);
    QVERIFY2(info.out.contains("Format: sealed (key derivation Argon2id, 3 passes, 128 MiB)"), info.out.constData());
    QCOMPARE(runCli(file, {QStringLiteral("list")}, "master\n").out,
             QByteArray("1\tann\tmail.example.com\n2\tbob\t\n"));
    QCOMPARE(runCli(file, {QStringLiteral("list")}, "wrong\n").status, 2);
    // One flipped bit: refused, nothing on standard output, the file as it was.
    for (const qsizetype at : {qsizetype(40), sealed.size() - 5}) {
        QByteArray damaged = sealed;
        damaged[at] = char(damaged[at] ^ 0x01);
        writeBytes(file, damaged);
        const Ran ran = runCli(file, {QStringLiteral("list")}, "master\n");
        QCOMPARE(ran.status, 3);
        QVERIFY(ran.out.isEmpty());
        QVERIFY(ran.err.contains("damaged"));
        QCOMPARE(bytesOf(file), damaged);
    }
    writeBytes(file, sealed);
    QCOMPARE(runCli(file, {QStringLiteral("unseal")}, "master\n").status, 0);
    QCOMPARE(bytesOf(file), classic); // exactly what a classic save writes
}

void TestCli::conflictCopiesAreMergedAndGoWithAChange()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.enc"));
    writeBytes(file, fullVault(QStringLiteral("master"), {kAnn}));
    QCOMPARE(runCli(file, {QStringLiteral("list")}, "master\n").status, 0); // this machine knows the file
    const QByteArray before = bytesOf(file);
    const QString copy = dir.filePath(QStringLiteral("data.sync-conflict-20261211-101010-ABCDEF2.enc"));
    writeBytes(copy, fullVault(QStringLiteral("master"), {kAnn, kBob}));
    const Ran info = runCli(file, {QStringLiteral("info")}, "master\n");
    QVERIFY2(info.out.endsWith(("Conflict copies waiting: 1\n  " + copy + "\n").toUtf8()), info.out.constData());
    // Reading shows the merge, and writes nothing.
    const Ran list = runCli(file, {QStringLiteral("list")}, "master\n");
    QCOMPARE(list.out, QByteArray("1\tann\tmail.example.com\n2\tbob\t\n"));
    QVERIFY2(list.err.contains("changes from another machine were merged"), list.err.constData());
    QCOMPARE(bytesOf(file), before);
    QVERIFY(QFile::exists(copy));
    // A change writes it with the merge, and the copy goes.
    QCOMPARE(runCli(file, {QStringLiteral("rm"), QStringLiteral("1")}, "master\n").status, 0);
    QCOMPARE(entriesIn(file), std::vector<Entry>{kBob});
    QVERIFY(!QFile::exists(copy));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
