#include "platform/Resources.h"

#include <QtGlobal>

static void initImages()
{
    Q_INIT_RESOURCE(images);
}

void registerResources()
{
    initImages();
}
