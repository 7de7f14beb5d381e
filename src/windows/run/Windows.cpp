#include "windows/run/Windows.h"

#include "core/platform/ProgramEnd.h"
#include "windows/browser/FrmWebsite.h"
#include "windows/editor/FrmAdd.h"
#include "windows/gate/FrmPass.h"
#include "windows/info/Form8.h"
#include "windows/info/FrmAbout.h"
#include "windows/info/FrmSplash.h"
#include "windows/main/Form1.h"
#include "windows/platform/WindowRegistry.h"
#include "windows/run/AppContext.h"
#include "windows/skin/SkinService.h"

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
