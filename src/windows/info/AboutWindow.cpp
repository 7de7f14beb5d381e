#include "windows/info/AboutWindow.h"

#include "core/platform/Twips.h"
#include "windows/context/AppContext.h"
#include "windows/info/NamedPictures.h"
#include "windows/platform/Fonts.h"
#include "windows/skin/SkinLabel.h"
#include "windows/skin/SkinLabelCopies.h"

#include <QCloseEvent>
#include <QLabel>

namespace {

template <class L>
L* label(QWidget* parent, const char* name, const QRect& rect, double points, const QString& text = {})
{
    auto* l = new L(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(verdana(points, true));
    l->setGeometry(rect);
    return l;
}

} // namespace

AboutWindow::AboutWindow(AppContext& ctx) : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint), m_ctx(ctx)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, true);
    setFont(verdana());
    setFixedSize(twipsSize(7455, 2925));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("banner"));
    picture->setProperty("controlTypeName", QStringLiteral("PictureBox"));
    picture->setGeometry(twipsRect(0, 0, 7515, 1035));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setAutoFillBackground(true);
    picture->setPixmap(aboutBanner(QPixmap(QStringLiteral(":/images/about-banner.jpg")), ctx.version));
    label<SkinLabel>(this, "lblProduct", twipsRect(120, 1200, 7095, 435), 14.25);
    label<QLabel>(this, "lblVersionCaption", twipsRect(180, 1680, 2295, 315), 12, QStringLiteral("Version:"));
    label<SkinLabel>(this, "lblVersion", twipsRect(2580, 1680, 4635, 315), 12);
    label<QLabel>(this, "lblCompanyCaption", twipsRect(180, 2100, 2295, 315), 12, QStringLiteral("Owned By:"));
    label<SkinLabel>(this, "lblCompany", twipsRect(2580, 2100, 4635, 315), 12);
    label<QLabel>(this, "lblWebsiteCaption", twipsRect(180, 2520, 2295, 315), 12, QStringLiteral("Website:"));
    label<SkinLabel>(this, "lblWebsite", twipsRect(2580, 2520, 4635, 315), 12);
    m_skinLabels.push_back(makeSkinLabelTemplate(this, QStringLiteral("SkinLabel1"), QRect(480, 2940, 555, 195)));
}

void AboutWindow::onLoad()
{
    const VersionInfo& v = m_ctx.version;
    setWindowTitle(QStringLiteral("About ") + m_ctx.identity.productName);
    findChild<QLabel*>(QStringLiteral("lblProduct"))->setText(v.productName);
    findChild<QLabel*>(QStringLiteral("lblCompany"))->setText(v.companyName);
    findChild<QLabel*>(QStringLiteral("lblVersion"))->setText(versionText(v.major, v.minor));
    findChild<QLabel*>(QStringLiteral("lblWebsite"))->setText(v.comments);
    if (m_ctx.skinningEnabled)
        copyPlainLabelsToSkinLabels(this, m_skinLabels);
}

void AboutWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit unloaded();
}
