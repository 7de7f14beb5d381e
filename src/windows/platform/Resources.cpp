#include "windows/platform/Resources.h"

#include <QtGlobal>

static void initImages()
{
    Q_INIT_RESOURCE(images);
    Q_INIT_RESOURCE(skins);
}

void registerResources()
{
    initImages();
}
