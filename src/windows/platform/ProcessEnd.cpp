#include "windows/platform/ProcessEnd.h"

#include <QClipboard>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformclipboard.h>
#include <qpa/qplatformintegration.h>

namespace {

// On X11 the clipboard's text lives in the program that copied it. Qt hands it to the desktop's
// clipboard manager, when one runs, as its clipboard is torn down; that step alone runs here,
// answering only the manager's requests, so no handler of the program runs meanwhile.
void handOverClipboard()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard() && !clipboard->ownsSelection())
        return;
    if (QPlatformIntegration* integration = QGuiApplicationPrivate::platformIntegration())
        delete integration->clipboard(); // the process ends right after; nothing uses it again
}

} // namespace

void ProcessEnd::endNow()
{
    handOverClipboard();
    std::fflush(nullptr);
    std::_Exit(0);
}
