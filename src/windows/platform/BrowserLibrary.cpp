#include "windows/platform/BrowserLibrary.h"

#include "windows/context/AppContext.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QOpenGLContext>

QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

void nameSharedGraphicsContext()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Kept for the whole run, and made by the browser's library when it is first needed.
    static QOpenGLContext* const shared = new QOpenGLContext;
    qt_gl_set_global_share_context(shared);
}

LoadableWindow* loadBrowserWindow(AppContext& ctx, QString* why)
{
    using Maker = LoadableWindow* (*)(AppContext&);
    // Beside this run's program; once loaded it stays loaded (a QLibrary going away does not unload it).
    QLibrary library(QDir(ctx.programFolder).filePath(QStringLiteral("keyhaven_browser")));
    const auto make = reinterpret_cast<Maker>(library.resolve("keyhaven_newBrowserWindow"));
    if (!make) {
        if (why)
            *why = library.errorString();
        return nullptr;
    }
    return make(ctx);
}
