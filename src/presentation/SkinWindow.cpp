#include "presentation/SkinWindow.h"

void SkinWindow(AppContext&, QWidget*)
{
    // The skin engine arrives later; until then every window keeps the platform's look.
}

void startSkinning(AppContext&, QWidget*)
{
}
