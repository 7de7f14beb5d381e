#include "app/AppContext.h"
#include "mainwindow/Form1.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"
#include "platform/WindowRegistry.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // the browser engine needs it
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false); // the program ends only where it says so

    const VersionInfo version = builtInVersionInfo();
    QApplication::setApplicationName(version.productName);
    QtMessageBoxes messages(version.productName);
    ProcessEnd programEnd;
    QtSettingsStore settings;
    DesktopShell shell;
    AppContext ctx(Platform{messages, programEnd, settings, shell}, version, QCoreApplication::applicationDirPath());

    ctx.mainWindowClosed = false;
    InitProductIdentity(ctx);
    Form1* main = loadWindow(ctx.windows.form1, [&] { return new Form1(ctx); });
    if (main)
        showModeless(main);
    return app.exec();
}
