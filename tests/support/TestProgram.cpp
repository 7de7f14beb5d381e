#include "support/TestProgram.h"

#include "core/platform/CodePage.h"
#include "core/vault/LineCipher.h"
#include "core/vault/VaultStorage.h"
#include "windows/browser/BrowserWindow.h"
#include "windows/editor/EntryEditor.h"
#include "windows/gate/PasswordGate.h"
#include "windows/info/AboutWindow.h"
#include "windows/info/HelpWindow.h"
#include "windows/main/EntryListView.h"
#include "windows/main/MainWindow.h"
#include "windows/platform/Accessibility.h"
#include "windows/platform/WindowRegistry.h"
#include "windows/skin/SkinLabel.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>

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

TestProgram::TestProgram(const QString& programFolder)
    : m_folder(programFolder.isEmpty() ? m_dir.path() : programFolder)
{
    static const bool installed = [] {
        g_previousHandler = qInstallMessageHandler(quietOffscreenWarnings);
        installAccessibility();
        return true;
    }();
    Q_UNUSED(installed);
    VersionInfo version{QStringLiteral("Keyhaven"), QStringLiteral("Orrindale"), QStringLiteral("orrindale.example"), 1,
                        0};
    ctx = std::make_unique<AppContext>(fake.platform(), version, m_folder);
    // The browser's library is linked into the tests: its window is made directly.
    ctx->makeBrowser = [](AppContext& context, QString*) -> LoadableWindow* { return new BrowserWindow(context); };
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
    return vaultstorage::vaultPath(m_folder);
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
    showModeless(program->windows.mainWindow);
}

void TestProgram::startAndUnlock(const QString& password)
{
    start();
    PasswordGate* pass = gate();
    if (!pass)
        qFatal("no password gate");
    pass->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(password);
    pass->findChild<QLineEdit*>(QStringLiteral("txtRetype"))->setText(password);
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
        return mainWindow();
    if (name == QLatin1String("editor"))
        mainWindow()->addEntry();
    else if (name == QLatin1String("browser"))
        mainWindow()->visitWebsite();
    else if (name == QLatin1String("help"))
        mainWindow()->viewHelp();
    else if (name == QLatin1String("about"))
        mainWindow()->about();
    const QHash<QString, QWidget*> windows = {{QStringLiteral("editor"), program->windows.editor},
                                              {QStringLiteral("browser"), program->windows.browser},
                                              {QStringLiteral("help"), program->windows.help},
                                              {QStringLiteral("about"), program->windows.about}};
    return windows.value(name);
}

MainWindow* TestProgram::mainWindow() const
{
    return program->windows.mainWindow;
}

PasswordGate* TestProgram::gate() const
{
    return program->windows.gate;
}

EntryEditor* TestProgram::editor() const
{
    return program->windows.editor;
}

QString TestProgram::status() const
{
    // What the user sees in the panel.
    const QLabel* panel = mainWindow() ? mainWindow()->findChild<QLabel*>(QStringLiteral("statusPanel")) : nullptr;
    return panel ? panel->text() : QString();
}

std::vector<Entry> TestProgram::listEntries() const
{
    return mainWindow()->list().entries().entries();
}

void TestProgram::selectRow(int row0) const
{
    mainWindow()->list().selectRow(row0);
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

QList<SkinLabel*> skinLabelsOf(const QWidget* window)
{
    QList<SkinLabel*> labels =
        window->findChildren<SkinLabel*>(QRegularExpression(QStringLiteral("^skinLabel(Template|Copy_)")));
    const auto place = [](const SkinLabel* label) {
        return label->objectName().section(QLatin1Char('_'), 1).toInt(); // the template has none: 0
    };
    std::sort(labels.begin(), labels.end(), [&](auto* a, auto* b) { return place(a) < place(b); });
    return labels;
}
