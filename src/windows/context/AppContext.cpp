#include "windows/context/AppContext.h"

#include "windows/skin/SkinWindow.h"

void prepareRun(AppContext& ctx)
{
    ctx.mainWindowClosed = false;
    InitProductIdentity(ctx);
    if (ctx.skinningEnabled)
        startSkinning(ctx.skinEngine, ctx.skinService, ctx.skinPath);
}
