// One vault on two machines through real Syncthing devices on 127.0.0.1 (tools/syncthing_pair.py):
// connected, a change shows on the other side by itself; apart, with the programs open or closed
// and the command line used on both sides, every change survives, both files end the same and no
// conflict copy is left; a sealed vault ends sealed.
#include "core/vault/ConflictCopies.h"
#include "core/vault/SealedFormat.h"
#include "core/vault/VaultFormat.h"
#include "support/TestProgram.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

const QString kHarness = QStringLiteral(KEYHAVEN_TEST_TOOLS "/syncthing_pair.py");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a process to its end while this one's events go on (the programs' watchers among them).
int runToEnd(QProcess& process, const QString& program, const QStringList& args, const QByteArray& input = {},
             int timeoutMs = 120000)
{
    process.start(program, args);
    if (!process.waitForStarted())
        return -1;
    process.write(input);
    process.closeWriteChannel();
    for (int waited = 0; process.state() != QProcess::NotRunning && waited < timeoutMs; waited += 20)
        QTest::qWait(20);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Two Syncthing devices, A and B, each syncing its folder; stopped when this goes.
class SyncthingPair {
public:
    SyncthingPair()
    {
        m_serve.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_serve.start(QStringLiteral("python3"),
                      {kHarness, QStringLiteral("serve"), m_base.path(), QStringLiteral("--ignore"),
                       QStringLiteral("data.enc.lock"), QStringLiteral("--ignore"), QStringLiteral("data.enc.*")});
        for (int waited = 0; waited < 60000 && !m_serve.canReadLine() && m_serve.state() != QProcess::NotRunning;
             waited += 50)
            m_serve.waitForReadyRead(50);
        m_ready = m_serve.canReadLine() && QJsonDocument::fromJson(m_serve.readLine()).isObject();
    }
    ~SyncthingPair()
    {
        m_serve.closeWriteChannel(); // the harness stops both devices when its input ends
        if (!m_serve.waitForFinished(30000))
            m_serve.kill();
    }
    bool ready() const { return m_ready; }
    QString folder(const char* device) const
    {
        return m_base.filePath(QLatin1String(device) + QStringLiteral("/folder"));
    }
    bool command(const char* what)
    {
        QProcess p;
        return runToEnd(p, QStringLiteral("python3"), {kHarness, QLatin1String(what), m_base.path()}) == 0;
    }
    bool pause() { return command("pause"); }
    bool resume() { return command("resume"); }
    bool waitInSync() { return command("wait-in-sync"); }

private:
    QTemporaryDir m_base;
    QProcess m_serve;
    bool m_ready = false;
};

struct Ran {
    int status = -1;
    QByteArray err;
};

Ran cli(const QString& folder, const QStringList& args, const QByteArray& input)
{
    QProcess p;
    Ran ran;
    ran.status = runToEnd(p, QStringLiteral(KEYHAVEN_CLI),
                          QStringList{QStringLiteral("--file"), folder + QStringLiteral("/data.enc")} + args, input);
    ran.err = p.readAllStandardError();
    return ran;
}

// The entries of a folder's data file, sealed or not, by username.
std::vector<Entry> entriesIn(const QString& folder)
{
    QByteArray bytes = readFile(folder + QStringLiteral("/data.enc"));
    if (sealedformat::isSealed(bytes))
        bytes = sealedformat::open(bytes, QStringLiteral("master")).classic;
    std::vector<Entry> entries = vaultformat::parse(bytes).entries;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.username < b.username; });
    return entries;
}

std::vector<Entry> byUsername(std::vector<Entry> entries)
{
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.username < b.username; });
    return entries;
}

QString describe(const QString& folder)
{
    QStringList names;
    for (const Entry& e : entriesIn(folder))
        names << e.username + QLatin1Char(':') + e.password;
    return names.join(QLatin1Char(' ')) + QStringLiteral(" | ") +
           QDir(folder).entryList(QDir::Files | QDir::Hidden).join(QLatin1Char(' '));
}

bool settled(const QString& a, const QString& b, const std::vector<Entry>& expected)
{
    return conflictcopies::besides(a + QStringLiteral("/data.enc")).isEmpty() &&
           conflictcopies::besides(b + QStringLiteral("/data.enc")).isEmpty() && entriesIn(a) == expected &&
           entriesIn(b) == expected &&
           readFile(a + QStringLiteral("/data.enc")) == readFile(b + QStringLiteral("/data.enc"));
}

// Until both machines stay settled through a sync and the programs' next look at their folders:
// a write on one side may still bring a conflict copy a moment later.

void waitUntilSettled(SyncthingPair& pair, const QString& a, const QString& b, const std::vector<Entry>& expected)
{
    int quiet = 0;
    for (int round = 0; round < 30 && quiet < 2; ++round) {
        QVERIFY(pair.waitInSync());
        QTest::qWait(2500);
        quiet = settled(a, b, expected) ? quiet + 1 : 0;
    }
}

Entry entry(const char* name, const char* password = nullptr)
{
    const QString n = QLatin1String(name);
    return {n, password ? QLatin1String(password) : QStringLiteral("pw-") + n, n + QStringLiteral(".example.com")};
}

void writeVault(const QString& folder, const std::vector<Entry>& entries)
{
    QStringList lines;
    for (const Entry& e : entries)
        lines << e.username + QStringLiteral("|||") + e.password + QStringLiteral("|||") + e.location;
    QFile f(folder + QStringLiteral("/data.enc"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(savedVault(lines));
}

} // namespace

class TestSyncthing : public QObject {
    Q_OBJECT
private slots:
    void bothProgramsOpen();
    void closedProgramsAndTheCommandLine_data();
    void closedProgramsAndTheCommandLine();
};

void TestSyncthing::bothProgramsOpen()
{
    SyncthingPair pair;
    QVERIFY(pair.ready());
    const QString a = pair.folder("A");
    const QString b = pair.folder("B");
    writeVault(a, {entry("ann"), entry("bob")});
    TestProgram laptop(a);
    QVERIFY(laptop.program->claimVault());
    laptop.startAndUnlock();
    QVERIFY(pair.waitInSync());
    TestProgram desktop(b);
    QVERIFY(desktop.program->claimVault());
    desktop.startAndUnlock();
    QCOMPARE(desktop.listEntries().size(), size_t(2));

    // Connected: what one adds shows on the other by itself.
    QVERIFY(laptop.ctx->vault.add(entry("cid")).ok);
    QVERIFY(pair.waitInSync());
    QTRY_COMPARE_WITH_TIMEOUT(desktop.listEntries().size(), size_t(3), 20000);

    // Apart, each adds one; together again, both lists hold both.
    QVERIFY(pair.pause());
    QVERIFY(laptop.ctx->vault.add(entry("xan")).ok);
    QVERIFY(desktop.ctx->vault.add(entry("yul")).ok);
    QVERIFY(pair.resume());
    const std::vector<Entry> all = {entry("ann"), entry("bob"), entry("cid"), entry("xan"), entry("yul")};
    waitUntilSettled(pair, a, b, all);
    QVERIFY2(settled(a, b, all), qPrintable(describe(a) + QStringLiteral(" // ") + describe(b)));
    QCOMPARE(byUsername(laptop.listEntries()), all);
    QCOMPARE(byUsername(desktop.listEntries()), all);
    QVERIFY2(laptop.status().contains(QLatin1String("Changes from another machine were merged.")) ||
                 desktop.status().contains(QLatin1String("Changes from another machine were merged.")),
             qPrintable(laptop.status() + QStringLiteral(" / ") + desktop.status()));
}

void TestSyncthing::closedProgramsAndTheCommandLine_data()
{
    QTest::addColumn<bool>("sealed");
    QTest::newRow("classic") << false;
    QTest::newRow("sealed") << true;
}

void TestSyncthing::closedProgramsAndTheCommandLine()
{
    QFETCH(bool, sealed);
    SyncthingPair pair;
    QVERIFY(pair.ready());
    const QString a = pair.folder("A");
    const QString b = pair.folder("B");
    writeVault(a, {entry("ann"), entry("bob"), entry("cid"), entry("dan")});
    if (sealed)
        QCOMPARE(cli(a, {QStringLiteral("seal")}, "master\n").status, 0);
    QCOMPARE(cli(a, {QStringLiteral("list")}, "master\n").status, 0);
    QVERIFY(pair.waitInSync());
    QCOMPARE(cli(b, {QStringLiteral("list")}, "master\n").status, 0);

    // Apart, from the command line: the laptop deletes bob and adds xan; the desktop changes cid's
    // password and adds yul.
    QVERIFY(pair.pause());
    QCOMPARE(cli(a, {QStringLiteral("rm"), QStringLiteral("2")}, "master\n").status, 0);
    QCOMPARE(cli(a,
                 {QStringLiteral("add"), QStringLiteral("--username"), QStringLiteral("xan"),
                  QStringLiteral("--location"), QStringLiteral("xan.example.com")},
                 "master\npw-xan\n")
                 .status,
             0);
    const Ran edited =
        cli(b, {QStringLiteral("edit"), QStringLiteral("3"), QStringLiteral("--password")}, "master\nnew-cid\n");
    QVERIFY2(edited.status == 0, edited.err.constData());
    QCOMPARE(cli(b,
                 {QStringLiteral("add"), QStringLiteral("--username"), QStringLiteral("yul"),
                  QStringLiteral("--location"), QStringLiteral("yul.example.com")},
                 "master\npw-yul\n")
                 .status,
             0);
    QVERIFY(pair.resume());
    QVERIFY(pair.waitInSync());

    // The programs open, and merge what they find.
    const std::vector<Entry> all = {entry("ann"), entry("cid", "new-cid"), entry("dan"), entry("xan"), entry("yul")};
    TestProgram laptop(a);
    QVERIFY(laptop.program->claimVault());
    laptop.startAndUnlock();
    TestProgram desktop(b);
    QVERIFY(desktop.program->claimVault());
    desktop.startAndUnlock();
    waitUntilSettled(pair, a, b, all);
    QVERIFY2(settled(a, b, all),
             qPrintable(describe(a) + QStringLiteral(" // ") + describe(b) + QStringLiteral(" // ") + laptop.status() +
                        QStringLiteral(" // ") + desktop.status()));
    QCOMPARE(byUsername(laptop.listEntries()), all);
    QCOMPARE(byUsername(desktop.listEntries()), all);
    QCOMPARE(sealedformat::isSealed(readFile(a + QStringLiteral("/data.enc"))), sealed);
}

QTEST_MAIN(TestSyncthing)
#include "test_syncthing.moc"
