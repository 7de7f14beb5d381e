#include "windows/info/FrmSplash.h"

#include "core/platform/Twips.h"
#include "windows/context/AppContext.h"
#include "windows/info/NamedPictures.h"

#include <QCloseEvent>
#include <QLabel>

FrmSplash::FrmSplash(AppContext& ctx) : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmSplash"));
    resize(twipsSize(7170, 4770));
    m_image1 = new QLabel(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setProperty("controlTypeName", QStringLiteral("Image"));
    m_image1->setScaledContents(true);
    m_image1->setGeometry(twipsRect(0, 0, 7170, 4770));
    const QPixmap picture = splashPicture(QPixmap(QStringLiteral(":/images/splash.jpg")), ctx.version);
    if (!picture.isNull()) {
        m_image1->setPixmap(picture);
        m_image1->resize(picture.size());
    }
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setInterval(2);
    m_timer2.setTimerType(Qt::PreciseTimer);
    connect(&m_timer2, &QTimer::timeout, this, &FrmSplash::timer2Tick);
}

void FrmSplash::formLoad()
{
    setFixedSize(m_image1->size());
    prepareRun(m_ctx);
    m_timer2.start();
}

void FrmSplash::timer2Tick()
{
    m_intTemp = static_cast<qint16>(m_intTemp + 2);
    if (m_intTemp != 150)
        return;
    m_timer2.stop();
    emit handOver();
}

void FrmSplash::closeEvent(QCloseEvent* event)
{
    // The run depends on this window until the main window unloads it. Any other close (Alt+F4
    // during the count) would leave a process with no window at all, so it is refused.
    if (!m_closable) {
        event->ignore();
        return;
    }
    m_ctx.skinService.detachSkin(&m_ctx.skinEngine);
    m_timer2.stop();
    event->accept();
    emit unloaded();
}
