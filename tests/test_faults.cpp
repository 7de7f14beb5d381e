// Saves that go wrong: killed half way, or refused by the file system. The file always holds one
// whole saved version, and a refused save says so, naming the file and the reason.
#include "core/vault/VaultStorage.h"
#include "support/TestProgram.h"
#include "tools/SaveVersions.h"
#include "windows/editor/EntryEditor.h"
#include "windows/main/MainWindow.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Set in the copy of this test that runs a row needing process-wide limits.
const char* const kChildVariable = "KEYHAVEN_FAULTS_CHILD";

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a folder holds: each name with its bytes, folders marked as such.
QMap<QString, QByteArray> contentsOf(const QString& folder)
{
    QMap<QString, QByteArray> out;
    const auto entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries)
        out.insert(info.fileName(), info.isDir() ? QByteArrayLiteral("<folder>") : readFile(info.filePath()));
    return out;
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Root passes permission checks through CAP_DAC_OVERRIDE. Without it in this thread's effective
// set, the permission bits hold for root too; the saves under test run on this thread.
class PermissionBitsHold {
public:
    PermissionBitsHold()
    {
        if (::geteuid() != 0 || ::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        m_dropped = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionBitsHold()
    {
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    bool holds() const { return ::geteuid() != 0 || m_dropped; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

QByteArray vaultOf(int entries)
{
    QStringList lines{QStringLiteral("master")};
    for (int i = 0; i < entries; ++i)
        lines << QStringLiteral("user%1|||pw%1|||https://site%1.example/").arg(i);
    lines << QString();
    return vaultFile(lines);
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void killedSavesLeaveOneWholeVersion();
    void refusedSaves_data();
    void refusedSaves();
};

void TestFaults::killedSavesLeaveOneWholeVersion()
{
    QTemporaryDir dir;
    const QString path = vaultstorage::vaultPath(dir.path());
    int next = 1;
    for (int kill = 1; kill <= 20; ++kill) {
        QProcess helper;
        helper.start(QStringLiteral(KEYHAVEN_SAVE_LOOP), {dir.path(), QString::number(next)});
        QVERIFY2(helper.waitForReadyRead(-1), qPrintable(helper.errorString()));
        QThread::usleep(QRandomGenerator::global()->bounded(30000)); // mostly lands inside a save
        ::kill(static_cast<pid_t>(helper.processId()), SIGKILL);
        QVERIFY(helper.waitForFinished(-1));
        QCOMPARE(helper.exitStatus(), QProcess::CrashExit);

        // The entry count names the version; its bytes must be that version's, whole.
        const QByteArray found = readFile(path);
        const int version = static_cast<int>(vaultformat::parse(found).entries.size());
        QVERIFY2(
            version >= next,
            qPrintable(
                QStringLiteral("kill %1: version %2 is older than %3, saved before").arg(kill).arg(version).arg(next)));
        QVERIFY2(found == saveversions::bytes(version),
                 qPrintable(QStringLiteral("kill %1: %2 bytes on disk are not version %3")
                                .arg(kill)
                                .arg(found.size())
                                .arg(version)));
        next = version + 1;
    }
    qInfo("reached version %d", next - 1);
}

void TestFaults::refusedSaves_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("reason"); // words the box and the status line must hold
    QTest::addColumn<QString>("action");
    const struct {
        const char* fault;
        int entries;
        QString reason;
    } faults[] = {
        {"folder not writable", 3, systemText(EACCES)},
        {"data.enc is a folder", 3, QStringLiteral("folder")},
        {"data.enc read-only", 3, QStringLiteral("read-only")},
        // Below and above the 16 KiB that Qt would buffer before it writes.
        {"disk full, small file", 20, systemText(EFBIG)},
        {"disk full, large file", 2000, systemText(EFBIG)},
    };
    for (const auto& f : faults) {
        for (const char* action : {"delete", "add"}) {
            QTest::addRow("%s, %s", f.fault, action)
                << QString::fromLatin1(f.fault) << f.entries << f.reason << QString::fromLatin1(action);
        }
    }
}

void TestFaults::refusedSaves()
{
    QFETCH(QString, fault);
    QFETCH(int, entries);
    QFETCH(QString, reason);
    QFETCH(QString, action);
    const bool diskFull = fault.startsWith(QLatin1String("disk full"));

    if (diskFull && !qEnvironmentVariableIsSet(kChildVariable)) {
        // A file-size limit holds for a whole process, so a copy of this test runs the row.
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(kChildVariable), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("refusedSaves:") + QLatin1String(QTest::currentDataTag())});
        QVERIFY(child.waitForFinished(-1));
        const QString output = QString::fromLocal8Bit(child.readAll());
        const qsizetype failure = output.indexOf(QLatin1String("FAIL!"));
        if (failure >= 0)
            qInfo("child: %s",
                  qPrintable(output.mid(failure, output.indexOf(QLatin1String("Loc:"), failure) - failure).trimmed()));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(output));
        return;
    }

    TestProgram p;
    p.writeVault(vaultOf(entries));
    p.startAndUnlock();
    const size_t before = p.listEntries().size();
    const QString folder = p.folder();
    rlimit limit{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    if (fault == QLatin1String("folder not writable")) {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    } else if (fault == QLatin1String("data.enc is a folder")) {
        QVERIFY(QFile::remove(p.vaultPath()));
        QVERIFY(QDir(folder).mkdir(QStringLiteral("data.enc")));
    } else if (fault == QLatin1String("data.enc read-only")) {
        QVERIFY(QFile::setPermissions(p.vaultPath(), QFile::ReadOwner));
    } else {
        // The disk fills up half way through the new file.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit full{static_cast<rlim_t>(p.vaultBytes().size() / 2), limit.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &full), 0);
    }
    const QMap<QString, QByteArray> kept = contentsOf(folder);

    {
        PermissionBitsHold bits;
        if (!bits.holds())
            QSKIP("running as root, and this thread cannot give up overriding permission bits");
        if (action == QLatin1String("delete")) {
            p.selectRow(0);
            p.fake.messages.answers = {MessageBoxes::Answer::Ok};
            p.mainWindow()->deleteSelected();
        } else {
            p.mainWindow()->addEntry();
            p.editor()->findChild<QLineEdit*>(QStringLiteral("txtUsername"))->setText(QStringLiteral("new"));
            p.editor()->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("entry"));
            QTest::mouseClick(p.editor()->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
        }
    }
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    // The old file as it was, and nothing left beside it.
    const QMap<QString, QByteArray> now = contentsOf(folder);
    QVERIFY2(now == kept, qPrintable(QStringLiteral("the folder holds %1; data.enc has %2 bytes, had %3")
                                         .arg(now.keys().join(QLatin1Char(' ')))
                                         .arg(now.value(QStringLiteral("data.enc")).size())
                                         .arg(kept.value(QStringLiteral("data.enc")).size())));
    QVERIFY(!p.fake.messages.boxes.empty());
    const MessageBoxes::Box& box = p.fake.messages.boxes.back();
    QVERIFY2(box.text.contains(QDir::toNativeSeparators(p.vaultPath())), qPrintable(box.text));
    QVERIFY2(box.text.contains(reason, Qt::CaseInsensitive), qPrintable(box.text));
    QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
    QVERIFY2(p.status().startsWith(QLatin1String("Save failed: data NOT saved")), qPrintable(p.status()));
    QVERIFY2(p.status().contains(reason, Qt::CaseInsensitive), qPrintable(p.status()));
    QCOMPARE(p.listEntries().size(), action == QLatin1String("delete") ? before - 1 : before + 1);
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
