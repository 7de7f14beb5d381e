#include "app/Windows.h"

#include "app/AppContext.h"
#include "editor/FrmAdd.h"
#include "mainwindow/Form1.h"
#include "platform/ProgramEnd.h"
#include "platform/WindowRegistry.h"
#include "vault/FrmPass.h"

void Windows::forget(const QWidget* window)
{
    forgetWindow(form1, window);
    forgetWindow(frmPass, window);
    forgetWindow(frmAdd, window);
}

void openEditor(AppContext& ctx)
{
    showModeless(loadWindow(ctx.windows.frmAdd, [&] { return new FrmAdd(ctx); }));
}

void openHelpWindow(AppContext&)
{
}

void openAboutWindow(AppContext&)
{
}

void openBrowserWindow(AppContext&)
{
}

void closeOtherWindows(AppContext& ctx)
{
    unloadWindow(ctx.windows.frmAdd);
}

bool browserOpenAndVisible(const AppContext&)
{
    return false;
}

void endRun(AppContext& ctx)
{
    ctx.platform.programEnd.endNow();
}
