#include "browser/FrmWebsite.h"

#include "app/AppContext.h"
#include "browser/BrowserLayout.h"
#include "platform/Accessibility.h"
#include "platform/Fonts.h"
#include "platform/PictureButton.h"
#include "platform/ProgramEnd.h"
#include "platform/Topmost.h"
#include "platform/Twips.h"
#include "presentation/SkinLabel.h"
#include "presentation/SkinLabelCopies.h"
#include "presentation/SkinService.h"
#include "presentation/SkinWindow.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cmath>

namespace {

constexpr int kStatusBarHeight = 315;

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QString& tip, const QRect& rect,
                    const char* picture, QSize pictureSize)
{
    QPushButton* b = makeButton(parent, name, caption, rect, picture, pictureSize);
    b->setToolTip(tip);
    return b;
}

} // namespace

FrmWebsite::FrmWebsite(AppContext& ctx) : QWidget(nullptr, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmWebsite"));
    setWindowIcon(QIcon(QStringLiteral(":/images/website.png")));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    setFont(verdana());
    resize(twipsSize(10545, 8580));

    m_frmBrowser = new QGroupBox(QStringLiteral("Browser"), this);
    m_frmBrowser->setObjectName(QStringLiteral("frmBrowser"));
    m_frmBrowser->setFont(verdana(8.25, true));
    m_frmBrowser->setGeometry(twipsRect(0, 0, 6375, 7215));
    // Children keep the window's regular font; only the frame's caption is bold.
    const QFont regular = verdana();
    auto* stop = button(m_frmBrowser, "Command6", QStringLiteral("Stop"), QStringLiteral("stop"),
                        twipsRect(2700, 600, 1000, 435), "stop.png", {24, 24});
    m_command3 = button(m_frmBrowser, "Command3", QStringLiteral("Go"), QStringLiteral("browse the entered url"),
                        twipsRect(5460, 240, 795, 315), "go.png", {46, 16});
    m_text1 = new QLineEdit(m_frmBrowser);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setAccessibleName(QStringLiteral("URL"));
    m_text1->setGeometry(twipsRect(540, 240, 4875, 315));
    auto* forward = button(m_frmBrowser, "Command5", QStringLiteral("Forward"), QStringLiteral("forward"),
                           twipsRect(1620, 600, 1000, 435), "forward.png", {24, 24});
    auto* backButton = button(m_frmBrowser, "Command4", QStringLiteral("Back"), QStringLiteral("back"),
                              twipsRect(540, 600, 1000, 435), "back.png", {24, 24});
    auto* refresh = button(m_frmBrowser, "Command7", QStringLiteral("Refresh"), QStringLiteral("refresh"),
                           twipsRect(3780, 600, 1000, 435), "refresh.png", {24, 24});
    m_webBrowser1 = new QWebEngineView(m_frmBrowser);
    m_webBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    m_webBrowser1->setGeometry(twipsRect(120, 1140, 6135, 5595));
    auto* urlLabel = new QLabel(QStringLiteral("URL:"), m_frmBrowser);
    urlLabel->setObjectName(QStringLiteral("Label1"));
    urlLabel->setGeometry(twipsRect(120, 300, 1215, 255));
    auto* templ = new SkinLabel(QStringLiteral("Windowed Label"), m_frmBrowser);
    templ->setObjectName(QStringLiteral("SkinLabel1_0"));
    templ->setGeometry(twipsRect(3180, 6840, 555, 135));
    templ->hide();
    hideFromScreenReaders(templ);
    m_skinLabel1.push_back(templ);
    for (QWidget* w : m_frmBrowser->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        w->setFont(regular);

    m_statusBar1 = new QStatusBar(this);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setSizeGripEnabled(false);
    auto* panel = new QLabel(m_statusBar1);
    panel->setObjectName(QStringLiteral("Panel1"));
    m_statusBar1->addWidget(panel);
    m_panels.push_back(panel);

    connect(m_command3, &QPushButton::clicked, this, &FrmWebsite::Command3_Click);
    connect(m_text1, &QLineEdit::returnPressed, this, &FrmWebsite::Command3_Click); // Text1_KeyPress
    // Back, Forward, Stop and Refresh are safe at any time: with nothing to do they do nothing.
    connect(backButton, &QPushButton::clicked, m_webBrowser1, &QWebEngineView::back);
    connect(forward, &QPushButton::clicked, m_webBrowser1, &QWebEngineView::forward);
    connect(stop, &QPushButton::clicked, m_webBrowser1, &QWebEngineView::stop);
    connect(refresh, &QPushButton::clicked, m_webBrowser1, &QWebEngineView::reload);
    connect(m_webBrowser1->page(), &QWebEnginePage::linkHovered, this, &FrmWebsite::statusText);
    connect(m_webBrowser1, &QWebEngineView::loadFinished, this, &FrmWebsite::downloadComplete);
}

void FrmWebsite::formLoad()
{
    InitProductIdentity(m_ctx);
    auto* panel2 = new QLabel(m_statusBar1);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setFont(m_panels[0]->font());
    m_statusBar1->addWidget(panel2);
    m_panels.push_back(panel2);
    setWindowTitle(m_ctx.identity.companyWebsite);
    SetTopmost(this, true);
    if (m_ctx.skinningEnabled) {
        copyPlainLabelsToSkinLabels(this, m_skinLabel1);
        SkinWindow(m_ctx, this);
    }
    Navigate(m_ctx.browserTarget == QLatin1String("Website") ? m_ctx.identity.companyWebsite
                                                             : m_ctx.identity.companyHomePage);
    m_ctx.browserTarget = QStringLiteral("Website");
    setWindowState(windowState() | Qt::WindowMaximized);
    SetTopmost(this, false);
}

void FrmWebsite::Navigate(const QString& address)
{
    m_lastNavigation = address;
    const QUrl url = QUrl::fromUserInput(address);
    const bool webWithoutHost =
        (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) && url.host().isEmpty();
    if (!url.isValid() || url.isEmpty() || webWithoutHost) {
        // Refused addresses are reported where the page's status goes; the window stays as it was.
        const QString reason = address.trimmed().isEmpty() ? QStringLiteral("no address was given")
                                                           : QStringLiteral("it is not a valid address");
        statusText(QStringLiteral("Cannot open \"%1\": %2").arg(address, reason));
        return;
    }
    m_webBrowser1->load(url);
}

void FrmWebsite::Command3_Click()
{
    Navigate(m_text1->text());
}

void FrmWebsite::statusText(const QString& text)
{
    m_panels[0]->setText(text);
}

void FrmWebsite::downloadComplete()
{
    m_text1->setText(m_webBrowser1->url().toString());
    const QString title = m_webBrowser1->title();
    setWindowTitle(title.isEmpty() ? m_webBrowser1->url().toString() : title);
}

void FrmWebsite::LayoutControls()
{
    const QRect outer = frameGeometry();
    const float W = float(outer.width() * kTwipsPerPixel);
    const float H = float(outer.height() * kTwipsPerPixel);
    const float S = float(kStatusBarHeight);
    const auto pixels = [](float twips) { return twipsToPixels(twips); };
    // The controls keep whole pixels, and the next step reads what they kept.
    const BrowserLayout l = layoutBrowser(
        W, H, S, {}, [](float twips) { return float(std::lround(twips / kTwipsPerPixel) * kTwipsPerPixel); });
    m_statusBar1->setGeometry(0, height() - pixels(S), width(), pixels(S));
    for (int i = 0; i < int(m_panels.size()); ++i)
        m_panels[i]->setFixedWidth(pixels(i == 0 ? l.panel1Width : l.panel2Width));
    m_frmBrowser->resize(pixels(l.frameWidth), pixels(l.frameHeight));
    m_text1->resize(pixels(l.text1Width), m_text1->height());
    m_command3->move(pixels(l.command3Left), m_command3->y());
    m_webBrowser1->resize(pixels(l.browserWidth), pixels(l.browserHeight));
}

void FrmWebsite::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutControls();
}

void FrmWebsite::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    LayoutControls();
}

void FrmWebsite::paintEvent(QPaintEvent* event)
{
    // Laying out again changes nothing unless the size did, so it never asks for another paint.
    LayoutControls();
    QWidget::paintEvent(event);
}

void FrmWebsite::closeEvent(QCloseEvent* event)
{
    m_ctx.windows.forget(this);
    event->accept();
    if (m_ctx.mainWindowClosed) {
        if (m_ctx.skinningEnabled)
            StopService(m_ctx);
        m_ctx.platform.programEnd.endNow();
    }
}
