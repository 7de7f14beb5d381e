#include "presentation/SkinService.h"

bool AttachSkin(AppContext&)
{
    return true;
}

bool StartService(AppContext&)
{
    return true;
}

void StopService(AppContext&)
{
}
