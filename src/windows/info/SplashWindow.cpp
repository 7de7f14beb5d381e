#include "windows/info/SplashWindow.h"

#include "core/platform/Twips.h"
#include "windows/context/AppContext.h"
#include "windows/info/NamedPictures.h"

#include <QCloseEvent>
#include <QLabel>

namespace {

constexpr int kTickMs = 2;
constexpr int kHandOverAfterMs = 75 * kTickMs;

} // namespace

SplashWindow::SplashWindow(AppContext& ctx) : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), m_ctx(ctx)
{
    setObjectName(QStringLiteral("SplashWindow"));
    resize(twipsSize(7170, 4770));
    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setProperty("controlTypeName", QStringLiteral("Image"));
    m_picture->setScaledContents(true);
    m_picture->setGeometry(twipsRect(0, 0, 7170, 4770));
    const QPixmap picture = splashPicture(QPixmap(QStringLiteral(":/images/splash.jpg")), ctx.version);
    if (!picture.isNull()) {
        m_picture->setPixmap(picture);
        m_picture->resize(picture.size());
    }
    m_ticks.setInterval(kTickMs);
    m_ticks.setTimerType(Qt::PreciseTimer);
    connect(&m_ticks, &QTimer::timeout, this, &SplashWindow::tick);
}

void SplashWindow::onLoad()
{
    setFixedSize(m_picture->size());
    prepareRun(m_ctx);
    m_ticks.start();
}

void SplashWindow::tick()
{
    m_elapsedMs += kTickMs;
    if (m_elapsedMs != kHandOverAfterMs)
        return;
    m_ticks.stop();
    emit handOver();
}

void SplashWindow::closeEvent(QCloseEvent* event)
{
    // The run depends on this window until the main window unloads it. Any other close (Alt+F4
    // during the count) would leave a process with no window at all, so it is refused.
    if (!m_closable) {
        event->ignore();
        return;
    }
    m_ctx.skinService.detachSkin(&m_ctx.skinEngine);
    m_ticks.stop();
    event->accept();
    emit unloaded();
}
