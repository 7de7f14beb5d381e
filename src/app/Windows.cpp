#include "app/Windows.h"

#include "app/AppContext.h"
#include "browser/FrmWebsite.h"
#include "editor/FrmAdd.h"
#include "mainwindow/Form1.h"
#include "platform/ProgramEnd.h"
#include "platform/WindowRegistry.h"
#include "presentation/Form8.h"
#include "presentation/FrmAbout.h"
#include "presentation/FrmSplash.h"
#include "presentation/SkinService.h"
#include "vault/FrmPass.h"

void Windows::forget(const QWidget* window)
{
    forgetWindow(form1, window);
    forgetWindow(frmPass, window);
    forgetWindow(frmAdd, window);
    forgetWindow(frmSplash, window);
    forgetWindow(form8, window);
    forgetWindow(frmAbout, window);
    forgetWindow(frmWebsite, window);
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

void openBrowserWindow(AppContext& ctx)
{
    showModeless(loadWindow(ctx.windows.frmWebsite, [&] { return new FrmWebsite(ctx); }));
}

void closeOtherWindows(AppContext& ctx)
{
    unloadWindow(ctx.windows.form8);
    unloadWindow(ctx.windows.frmAbout);
    unloadWindow(ctx.windows.frmAdd);
    unloadWindow(ctx.windows.frmSplash);
}

bool browserOpenAndVisible(const AppContext& ctx)
{
    return isLoaded(ctx.windows.frmWebsite) && ctx.windows.frmWebsite->isVisible();
}

void endRun(AppContext& ctx)
{
    if (ctx.skinningEnabled)
        StopService(ctx);
    unloadWindow(ctx.windows.frmWebsite);
    ctx.platform.programEnd.endNow();
}
