#include "windows/info/FrmSplash.h"

#include "windows/skin/SkinService.h"

#include "core/platform/Twips.h"
#include "windows/info/NamedPictures.h"
#include "windows/main/Form1.h"
#include "windows/platform/WindowRegistry.h"
#include "windows/run/AppContext.h"
#include "windows/skin/SkinWindow.h"

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
    m_loading = true;
    setFixedSize(m_image1->size());
    m_ctx.mainWindowClosed = false;
    InitProductIdentity(m_ctx);
    if (m_ctx.skinningEnabled) {
        m_skn.load(m_ctx.skinPath); // a missing or damaged skin leaves the platform's look
        startSkinning(m_ctx, this);
    }
    m_loading = false;
    m_timer2.start();
}

void FrmSplash::timer2Tick()
{
    m_intTemp = static_cast<qint16>(m_intTemp + 2);
    if (m_intTemp != 150)
        return;
    m_timer2.stop();
    m_handedOver = true;
    Form1* main = loadWindow(m_ctx.windows.form1, [this] { return new Form1(m_ctx); });
    showModeless(main);
    hide();
}

void FrmSplash::closeEvent(QCloseEvent* event)
{
    // The run depends on this window until the main window unloads it, which takes it out of
    // the registry first. Any other close (Alt+F4 during the count) would leave a process with
    // no window at all, so it is refused.
    if (m_ctx.windows.frmSplash == this) {
        event->ignore();
        return;
    }
    if (m_ctx.skinEngine == &m_skn)
        m_ctx.skinEngine = nullptr;
    if (m_ctx.skinService)
        m_ctx.skinService->detachSkin(&m_skn);
    m_timer2.stop();
    event->accept();
}
