#include "windows/run/ProductIdentity.h"

#include "windows/run/AppContext.h"

void InitProductIdentity(AppContext& ctx)
{
    ctx.identity.productName = ctx.version.productName;
    ctx.identity.companyName = ctx.version.companyName;
    ctx.identity.companyWebsite = ctx.version.comments;
    ctx.skinningEnabled = true;
    ctx.identity.companyHomePage = ctx.homePage;
}
