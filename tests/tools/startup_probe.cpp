// Starts the program's windows as the program does, on the platform Qt is given (X11, Wayland),
// in the program folder given, and ends once the password gate is on screen: status 0 and a line
// saying so; status 1 when it does not come within 20 s.
//   keyhaven_startup_probe PROGRAM-FOLDER
#include "core/platform/VersionInfo.h"
#include "windows/context/AppContext.h"
#include "windows/gate/PasswordGate.h"
#include "windows/platform/Accessibility.h"
#include "windows/platform/DesktopShell.h"
#include "windows/platform/ProcessEnd.h"
#include "windows/platform/QtFileDialogs.h"
#include "windows/platform/QtMessageBoxes.h"
#include "windows/platform/QtSettingsStore.h"
#include "windows/run/Program.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    app.setQuitOnLastWindowClosed(false);
    installAccessibility();
    const VersionInfo version = builtInVersionInfo();
    QtMessageBoxes messages(version.productName);
    ProcessEnd programEnd;
    QtSettingsStore settings;
    DesktopShell shell;
    QtFileDialogs files;
    AppContext ctx(Platform{messages, programEnd, settings, shell, files}, version, QString::fromLocal8Bit(argv[1]));
    Program program(ctx);
    if (!program.claimVault())
        return 1;
    program.start();
    QTimer look;
    int waited = 0;
    QObject::connect(&look, &QTimer::timeout, [&] {
        PasswordGate* gate = program.windows.gate;
        if (gate && gate->isVisible() && gate->windowHandle() && gate->windowHandle()->isExposed()) {
            std::printf("the gate is shown on %s\n", qPrintable(QGuiApplication::platformName()));
            app.exit(0);
        } else if ((waited += 50) > 20'000) {
            app.exit(1);
        }
    });
    look.start(50);
    return app.exec();
}
