// Starts the program's windows as the program does, on the platform Qt is given (X11, Wayland),
// in the program folder given, and ends once the password gate is on screen: status 0 and a line
// saying so; status 1 when it does not come within 20 s. With --browser it then opens the built-in
// browser from its library in the program folder, as the program does, and ends once that is on
// screen.
//   keyhaven_startup_probe PROGRAM-FOLDER [--browser]
#include "core/platform/VersionInfo.h"
#include "windows/context/AppContext.h"
#include "windows/gate/PasswordGate.h"
#include "windows/platform/Accessibility.h"
#include "windows/platform/BrowserLibrary.h"
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
    nameSharedGraphicsContext();
    QApplication app(argc, argv);
    const bool browserToo = argc == 3 && qstrcmp(argv[2], "--browser") == 0;
    if (argc != 2 && !browserToo)
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
    ctx.makeBrowser = loadBrowserWindow;
    Program program(ctx);
    if (!program.claimVault())
        return 1;
    program.start();
    QTimer look;
    int waited = 0;
    const auto shown = [](QWidget* window) {
        return window && window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed();
    };
    bool gateShown = false;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (!gateShown && shown(program.windows.gate)) {
            gateShown = true;
            std::printf("the gate is shown on %s\n", qPrintable(QGuiApplication::platformName()));
            if (!browserToo) {
                app.exit(0);
                return;
            }
            program.openBrowserWindow();
        }
        if (gateShown && browserToo && shown(program.windows.browser)) {
            std::printf("the browser is shown\n");
            app.exit(0);
        } else if ((waited += 50) > 20'000) {
            app.exit(1);
        }
    });
    look.start(50);
    const int status = app.exec();
    delete program.windows.browser.data(); // its page goes before the engine's profile
    return status;
}
