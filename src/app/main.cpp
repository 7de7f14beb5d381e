#include "windows/context/AppContext.h"
#include "windows/platform/Accessibility.h"
#include "windows/platform/BrowserLibrary.h"
#include "windows/platform/DesktopShell.h"
#include "windows/platform/ProcessEnd.h"
#include "windows/platform/QtFileDialogs.h"
#include "windows/platform/QtMessageBoxes.h"
#include "windows/platform/QtSettingsStore.h"
#include "windows/run/Program.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    nameSharedGraphicsContext();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false); // the program ends only where it says so
    installAccessibility();

    const VersionInfo version = builtInVersionInfo();
    QApplication::setApplicationName(version.productName);
    QtMessageBoxes messages(version.productName);
    ProcessEnd programEnd;
    QtSettingsStore settings;
    DesktopShell shell;
    QtFileDialogs files;
    AppContext ctx(Platform{messages, programEnd, settings, shell, files}, version,
                   QCoreApplication::applicationDirPath());
    ctx.makeBrowser = loadBrowserWindow;

    app.setWindowIcon(QIcon(QStringLiteral(":/images/keyhaven.png")));
    Program program(ctx);
    if (!program.claimVault())
        return 0;
    program.start();
    return app.exec();
}
