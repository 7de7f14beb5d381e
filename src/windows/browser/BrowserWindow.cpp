#include "windows/browser/BrowserWindow.h"

#include "core/browser/BrowserLayout.h"
#include "core/platform/Twips.h"
#include "windows/browser/BrowserDownloads.h"
#include "windows/browser/BrowserPage.h"
#include "windows/browser/StatusPanel.h"
#include "windows/context/AppContext.h"
#include "windows/context/ProductIdentity.h"
#include "windows/platform/Fonts.h"
#include "windows/platform/PictureButton.h"
#include "windows/platform/Topmost.h"
#include "windows/skin/SkinLabel.h"
#include "windows/skin/SkinLabelCopies.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <cmath>

namespace {

constexpr int kStatusBarHeight = 315;

} // namespace

BrowserWindow::BrowserWindow(AppContext& ctx) : LoadableWindow(nullptr, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("BrowserWindow"));
    setWindowIcon(QIcon(QStringLiteral(":/images/website.png")));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    setFont(verdana());
    resize(twipsSize(10545, 8580));

    m_frame = new QGroupBox(QStringLiteral("Browser"), this);
    m_frame->setObjectName(QStringLiteral("browserFrame"));
    m_frame->setFont(verdana(8.25, true));
    m_frame->setGeometry(twipsRect(0, 0, 6375, 7215));
    // Children keep the window's regular font; only the frame's caption is bold.
    const QFont regular = verdana();
    auto* stop = makeButton(m_frame, "cmdStop", QStringLiteral("Stop"), QRect(2700, 600, 1000, 435), "stop.png",
                            {24, 24}, QStringLiteral("stop"));
    m_goButton = makeButton(m_frame, "cmdGo", QStringLiteral("Go"), QRect(5460, 240, 795, 315), "go.png", {46, 16},
                            QStringLiteral("browse the entered url"));
    m_addressBox = new QLineEdit(m_frame);
    m_addressBox->setObjectName(QStringLiteral("txtAddress"));
    m_addressBox->setAccessibleName(QStringLiteral("URL"));
    m_addressBox->setGeometry(twipsRect(540, 240, 4875, 315));
    auto* forward = makeButton(m_frame, "cmdForward", QStringLiteral("Forward"), QRect(1620, 600, 1000, 435),
                               "forward.png", {24, 24}, QStringLiteral("forward"));
    auto* backButton = makeButton(m_frame, "cmdBack", QStringLiteral("Back"), QRect(540, 600, 1000, 435), "back.png",
                                  {24, 24}, QStringLiteral("back"));
    auto* refresh = makeButton(m_frame, "cmdRefresh", QStringLiteral("Refresh"), QRect(3780, 600, 1000, 435),
                               "refresh.png", {24, 24}, QStringLiteral("refresh"));
    QWebEngineProfile* profile = BrowserPage::engineProfile(); // before any other part of the engine
    m_webView = new QWebEngineView(m_frame);
    m_webView->setObjectName(QStringLiteral("webView"));
    m_page =
        new BrowserPage(profile, m_webView,
                        [this](PageDialog::Kind kind, const QString& origin, const QString& text, const QString& value,
                               QString* answer) { return askForPage(kind, origin, text, value, answer); });
    m_webView->setPage(m_page);
    m_webView->setGeometry(twipsRect(120, 1140, 6135, 5595));
    auto* urlLabel = new QLabel(QStringLiteral("URL:"), m_frame);
    urlLabel->setObjectName(QStringLiteral("lblAddress"));
    urlLabel->setGeometry(twipsRect(120, 300, 1215, 255));
    m_skinLabels.push_back(
        makeSkinLabelTemplate(m_frame, QStringLiteral("Windowed Label"), QRect(3180, 6840, 555, 135)));
    for (QWidget* w : m_frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        w->setFont(regular);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    auto* panel = new StatusPanel(m_statusBar);
    panel->setObjectName(QStringLiteral("statusPanel1"));
    m_statusBar->addWidget(panel);
    m_panels.push_back(panel);

    m_closeLater.setSingleShot(true);
    m_closeLater.setInterval(0);
    connect(&m_closeLater, &QTimer::timeout, this, &QWidget::close);
    connect(m_goButton, &QPushButton::clicked, this, &BrowserWindow::goToTypedAddress);
    connect(m_addressBox, &QLineEdit::returnPressed, this, &BrowserWindow::goToTypedAddress);
    // Back, Forward, Stop and Refresh are safe at any time: with nothing to do they do nothing.
    connect(backButton, &QPushButton::clicked, this, [this] {
        userNavigates();
        m_webView->back();
    });
    connect(forward, &QPushButton::clicked, this, [this] {
        userNavigates();
        m_webView->forward();
    });
    connect(stop, &QPushButton::clicked, m_webView, &QWebEngineView::stop);
    connect(refresh, &QPushButton::clicked, this, [this] {
        userNavigates();
        m_webView->reload();
    });
    connect(m_page, &QWebEnginePage::linkHovered, this, &BrowserWindow::showStatus);
    connect(m_page, &BrowserPage::refused, this, &BrowserWindow::showStatus);
    connect(m_page, &QWebEnginePage::urlChanged, this, &BrowserWindow::pageCommitted);
    connect(m_webView, &QWebEngineView::loadFinished, this, &BrowserWindow::pageLoaded);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &BrowserWindow::loadingChanged);
    m_downloads =
        new BrowserDownloads(this, m_page, ctx.platform.files, [this](const QString& text) { showStatus(text); });
}

void BrowserWindow::onLoad()
{
    fillProductIdentity(m_ctx);
    auto* panel2 = new StatusPanel(m_statusBar);
    panel2->setObjectName(QStringLiteral("statusPanel2"));
    panel2->setFont(m_panels[0]->font());
    m_statusBar->addWidget(panel2);
    m_panels.push_back(panel2);
    setWindowTitle(m_ctx.identity.companyWebsite);
    setTopmost(this, true);
    if (m_ctx.skinningEnabled)
        copyPlainLabelsToSkinLabels(this, m_skinLabels);
    navigate(m_ctx.browserTarget == QLatin1String("Website") ? m_ctx.identity.companyWebsite
                                                             : m_ctx.identity.companyHomePage);
    m_ctx.browserTarget = QStringLiteral("Website");
    setWindowState(windowState() | Qt::WindowMaximized);
    setTopmost(this, false);
}

void BrowserWindow::navigate(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address);
    const bool webWithoutHost =
        (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) && url.host().isEmpty();
    if (!url.isValid() || url.isEmpty() || webWithoutHost) {
        // Refused addresses are reported where the page's status goes; the window stays as it was.
        const QString reason = address.trimmed().isEmpty() ? QStringLiteral("no address was given")
                                                           : QStringLiteral("it is not a valid address");
        showStatus(QStringLiteral("Cannot open \"%1\": %2").arg(address, reason));
        return;
    }
    userNavigates();
    m_webView->load(url);
}

void BrowserWindow::userNavigates()
{
    m_page->userNavigates();
    m_downloads->userNavigates();
}

void BrowserWindow::goToTypedAddress()
{
    navigate(m_addressBox->text());
}

void BrowserWindow::showStatus(const QString& text)
{
    m_panels[0]->setText(text);
}

void BrowserWindow::loadingChanged(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
        showStatus(QStringLiteral("Cannot open %1: %2").arg(info.url().toString(), info.errorString()));
}

bool BrowserWindow::askForPage(PageDialog::Kind kind, const QString& origin, const QString& text, const QString& value,
                               QString* answer)
{
    if (m_closing || m_pageDialog)
        return false; // the window is going, or a dialog is up already: the page gets no for an answer
    QPointer<BrowserWindow> self = this;
    QPointer<PageDialog> dialog = new PageDialog(this, kind, origin, text, value);
    m_pageDialog = dialog;
    m_frame->setEnabled(false); // the page and its controls wait for the answer
    const bool ok = dialog->ask(answer);
    delete dialog;
    if (self)
        m_frame->setEnabled(true);
    return ok;
}

void BrowserWindow::pageCommitted(const QUrl& url)
{
    // The box shows the page on screen as soon as it is there, unless the user is typing in it.
    if (!(m_addressBox->hasFocus() && m_addressBox->isModified()))
        m_addressBox->setText(url.toString());
}

void BrowserWindow::pageLoaded()
{
    m_addressBox->setText(m_webView->url().toString());
    const QString title = m_webView->title();
    setWindowTitle(title.isEmpty() ? m_webView->url().toString() : title);
}

void BrowserWindow::layOutControls()
{
    const QRect outer = frameGeometry();
    const float W = float(outer.width() * kTwipsPerPixel);
    const float H = float(outer.height() * kTwipsPerPixel);
    const float S = float(kStatusBarHeight);
    const auto pixels = [](float twips) { return twipsToPixels(twips); };
    // The controls keep whole pixels, and the next step reads what they kept.
    const BrowserLayout l = layoutBrowser(
        W, H, S, {}, [](float twips) { return float(std::lround(twips / kTwipsPerPixel) * kTwipsPerPixel); });
    m_statusBar->setGeometry(0, height() - pixels(S), width(), pixels(S));
    for (int i = 0; i < int(m_panels.size()); ++i)
        m_panels[i]->setFixedWidth(pixels(i == 0 ? l.panel1Width : l.panel2Width));
    m_frame->resize(pixels(l.frameWidth), pixels(l.frameHeight));
    m_addressBox->resize(pixels(l.text1Width), m_addressBox->height());
    m_goButton->move(pixels(l.command3Left), m_goButton->y());
    m_webView->resize(pixels(l.browserWidth), pixels(l.browserHeight));
}

void BrowserWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOutControls();
}

void BrowserWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    layOutControls();
}

void BrowserWindow::moveEvent(QMoveEvent* event)
{
    // The window manager's frame, which the layout counts in, may arrive with a move alone.
    QWidget::moveEvent(event);
    layOutControls();
}

void BrowserWindow::closeEvent(QCloseEvent* event)
{
    if (m_pageDialog) {
        // The page waits inside its dialog: dismiss it, and close once that wait is over.
        m_closing = true;
        m_pageDialog->reject();
        event->ignore();
        m_closeLater.start();
        return;
    }
    event->accept();
    emit unloaded();
}

// What the program finds in this library when the browser is first opened.
extern "C" Q_DECL_EXPORT LoadableWindow* keyhaven_newBrowserWindow(AppContext& ctx)
{
    return new BrowserWindow(ctx);
}
