#include "app/Windows.h"

#include "app/AppContext.h"
#include "editor/FrmAdd.h"
#include "mainwindow/Form1.h"
#include "platform/ProgramEnd.h"
#include "platform/WindowRegistry.h"
#include "presentation/Form8.h"
#include "presentation/FrmAbout.h"
#include "presentation/FrmSplash.h"
#include "vault/FrmPass.h"

void Windows::forget(const QWidget* window)
{
    forgetWindow(form1, window);
    forgetWindow(frmPass, window);
    forgetWindow(frmAdd, window);
    forgetWindow(frmSplash, window);
    forgetWindow(form8, window);
    forgetWindow(frmAbout, window);
}

void openEditor(AppContext& ctx)
{
    showModeless(loadWindow(ctx.windows.frmAdd, [&] { return new FrmAdd(ctx); }));
}

void openHelpWindow(AppContext& ctx)
{
    showModeless(loadWindow(ctx.windows.form8, [&] { return new Form8(ctx); }));
}

void openAboutWindow(AppContext& ctx)
{
    showModeless(loadWindow(ctx.windows.frmAbout, [&] { return new FrmAbout(ctx); }));
}

void openBrowserWindow(AppContext&)
{
}

void closeOtherWindows(AppContext& ctx)
{
    unloadWindow(ctx.windows.form8);
    unloadWindow(ctx.windows.frmAbout);
    unloadWindow(ctx.windows.frmAdd);
    unloadWindow(ctx.windows.frmSplash);
}

bool browserOpenAndVisible(const AppContext&)
{
    return false;
}

void endRun(AppContext& ctx)
{
    ctx.platform.programEnd.endNow();
}
