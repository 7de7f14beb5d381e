#include "windows/context/ProductIdentity.h"

#include "windows/context/AppContext.h"

void fillProductIdentity(AppContext& ctx)
{
    ctx.identity.productName = ctx.version.productName;
    ctx.identity.companyName = ctx.version.companyName;
    ctx.identity.companyWebsite = ctx.version.comments;
    ctx.identity.companyHomePage = ctx.homePage;
}

void initProductIdentity(AppContext& ctx)
{
    fillProductIdentity(ctx);
    ctx.skinningEnabled = true;
}
