#include "windows/context/ProductIdentity.h"

#include "windows/context/AppContext.h"

void FillProductIdentity(AppContext& ctx)
{
    ctx.identity.productName = ctx.version.productName;
    ctx.identity.companyName = ctx.version.companyName;
    ctx.identity.companyWebsite = ctx.version.comments;
    ctx.identity.companyHomePage = ctx.homePage;
}

void InitProductIdentity(AppContext& ctx)
{
    FillProductIdentity(ctx);
    ctx.skinningEnabled = true;
}
