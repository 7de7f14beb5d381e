#include "support/TestProgram.h"

#include "core/platform/CodePage.h"
#include "core/vault/LineCipher.h"
#include "core/vault/VaultStorage.h"
#include "windows/browser/FrmWebsite.h"
#include "windows/editor/FrmAdd.h"
#include "windows/gate/FrmPass.h"
#include "windows/info/Form8.h"
#include "windows/info/FrmAbout.h"
#include "windows/main/EntryListView.h"
#include "windows/main/Form1.h"
#include "windows/platform/Accessibility.h"
#include "windows/platform/WindowRegistry.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform warns about window calls it cannot do; they say nothing about our code.
void quietOffscreenWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

TestProgram::TestProgram()
{
    static const bool installed = [] {
        g_previousHandler = qInstallMessageHandler(quietOffscreenWarnings);
        installAccessibility();
        return true;
    }();
    Q_UNUSED(installed);
    VersionInfo version{QStringLiteral("Keyhaven"), QStringLiteral("Orrindale"), QStringLiteral("orrindale.example"), 1,
                        0};
    ctx = std::make_unique<AppContext>(fake.platform(), version, m_dir.path());
    program = std::make_unique<Program>(*ctx);
    // No help window by default; tests of it switch it on.
    fake.settings.write(QStringLiteral("Keyhaven"), QStringLiteral("Settings"), QStringLiteral("showHelp"),
                        QStringLiteral("0"));
}

TestProgram::~TestProgram()
{
    // Close every window of this run without running the program's own unload steps.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        w->hide();
        w->deleteLater();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString TestProgram::vaultPath() const
{
    return vaultstorage::vaultPath(m_dir.path());
}

void TestProgram::writeVault(const QByteArray& bytes) const
{
    QFile f(vaultPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write the test vault");
}

QByteArray TestProgram::vaultBytes() const
{
    QFile f(vaultPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void TestProgram::start()
{
    prepareRun(*ctx); // as the splash window does
    program->loadMainWindow();
    showModeless(program->windows.form1);
}

void TestProgram::startAndUnlock(const QString& password)
{
    start();
    FrmPass* pass = gate();
    if (!pass)
        qFatal("no password gate");
    pass->findChild<QLineEdit*>(QStringLiteral("txtPass"))->setText(password);
    pass->findChild<QLineEdit*>(QStringLiteral("txtPass2"))->setText(password);
    QTest::mouseClick(pass->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
}

void TestProgram::startWithEntries(const QStringList& entryLines)
{
    writeVault(savedVault(entryLines));
    startAndUnlock();
}

QStringList TestProgram::windowNames()
{
    return {QStringLiteral("gate verify"), QStringLiteral("gate create"), QStringLiteral("main"),
            QStringLiteral("editor"),      QStringLiteral("browser"),     QStringLiteral("help"),
            QStringLiteral("about")};
}

void TestProgram::addWindowRows()
{
    QTest::addColumn<QString>("window");
    for (const QString& name : windowNames())
        QTest::newRow(qPrintable(name)) << name;
}

QWidget* TestProgram::openWindow(const QString& name)
{
    if (name.startsWith(QLatin1String("gate"))) {
        if (name == QLatin1String("gate verify"))
            writeVault(savedVault({}));
        start();
        return gate();
    }
    ctx->homePage = QStringLiteral("about:blank");
    QFile help(folder() + QStringLiteral("/Help.rtf"));
    if (!help.open(QIODevice::WriteOnly) || help.write("{\\rtf1\\ansi {\\b Help} text\\par}") < 0)
        qFatal("cannot write the test help");
    help.close();
    startWithEntries(
        {QStringLiteral("alice|||Tr0ub4dor&3|||www.example.com"), QStringLiteral("bob|||correct horse|||C:\\Data")});
    if (name == QLatin1String("main"))
        return form1();
    if (name == QLatin1String("editor"))
        form1()->cmdAdd_Click();
    else if (name == QLatin1String("browser"))
        form1()->cmdWebsite_Click();
    else if (name == QLatin1String("help"))
        form1()->viewHelp();
    else if (name == QLatin1String("about"))
        form1()->about();
    const QHash<QString, QWidget*> windows = {{QStringLiteral("editor"), program->windows.frmAdd},
                                              {QStringLiteral("browser"), program->windows.frmWebsite},
                                              {QStringLiteral("help"), program->windows.form8},
                                              {QStringLiteral("about"), program->windows.frmAbout}};
    return windows.value(name);
}

Form1* TestProgram::form1() const
{
    return program->windows.form1;
}

FrmPass* TestProgram::gate() const
{
    return program->windows.frmPass;
}

FrmAdd* TestProgram::editor() const
{
    return program->windows.frmAdd;
}

QString TestProgram::status() const
{
    // What the user sees in the panel.
    const QLabel* panel = form1() ? form1()->findChild<QLabel*>(QStringLiteral("StatusPanel1")) : nullptr;
    return panel ? panel->text() : QString();
}

std::vector<Entry> TestProgram::listEntries() const
{
    return form1()->list().entries().entries();
}

void TestProgram::selectRow(int row0) const
{
    form1()->list().selectRow(row0);
}

QByteArray vaultFile(const QStringList& plainLines)
{
    QByteArray out;
    for (const QString& line : plainLines) {
        const ResultWith<QByteArray> bytes = codepage::encode(line);
        if (!bytes.ok)
            qFatal("test line outside the code page");
        out += cipherBytes(bytes.value);
        out += "\r\n";
    }
    return out;
}

QByteArray savedVault(const QStringList& entryLines)
{
    return vaultFile(QStringList{QStringLiteral("master")} + entryLines + QStringList{QString()});
}
