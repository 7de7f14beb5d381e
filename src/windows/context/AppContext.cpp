#include "windows/context/AppContext.h"

#include "windows/skin/Skinning.h"

void prepareRun(AppContext& ctx)
{
    ctx.mainWindowClosed = false;
    initProductIdentity(ctx);
    if (ctx.skinningEnabled)
        startSkinning(ctx.skinEngine, ctx.skinService, ctx.skinPath);
}
