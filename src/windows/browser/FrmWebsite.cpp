#include "windows/browser/FrmWebsite.h"

#include "core/browser/BrowserLayout.h"
#include "core/platform/FileDialogs.h"
#include "core/platform/ProgramEnd.h"
#include "core/platform/Twips.h"
#include "windows/browser/BrowserPage.h"
#include "windows/browser/StatusPanel.h"
#include "windows/context/AppContext.h"
#include "windows/context/ProductIdentity.h"
#include "windows/platform/Fonts.h"
#include "windows/platform/PictureButton.h"
#include "windows/platform/Topmost.h"
#include "windows/skin/SkinLabel.h"
#include "windows/skin/SkinLabelCopies.h"
#include "windows/skin/SkinService.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <cmath>

namespace {

constexpr int kStatusBarHeight = 315;

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
    auto* stop = makeButton(m_frmBrowser, "Command6", QStringLiteral("Stop"), QRect(2700, 600, 1000, 435), "stop.png",
                            {24, 24}, QStringLiteral("stop"));
    m_command3 = makeButton(m_frmBrowser, "Command3", QStringLiteral("Go"), QRect(5460, 240, 795, 315), "go.png",
                            {46, 16}, QStringLiteral("browse the entered url"));
    m_text1 = new QLineEdit(m_frmBrowser);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setAccessibleName(QStringLiteral("URL"));
    m_text1->setGeometry(twipsRect(540, 240, 4875, 315));
    auto* forward = makeButton(m_frmBrowser, "Command5", QStringLiteral("Forward"), QRect(1620, 600, 1000, 435),
                               "forward.png", {24, 24}, QStringLiteral("forward"));
    auto* backButton = makeButton(m_frmBrowser, "Command4", QStringLiteral("Back"), QRect(540, 600, 1000, 435),
                                  "back.png", {24, 24}, QStringLiteral("back"));
    auto* refresh = makeButton(m_frmBrowser, "Command7", QStringLiteral("Refresh"), QRect(3780, 600, 1000, 435),
                               "refresh.png", {24, 24}, QStringLiteral("refresh"));
    m_webBrowser1 = new QWebEngineView(m_frmBrowser);
    m_webBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    m_page =
        new BrowserPage(QWebEngineProfile::defaultProfile(), m_webBrowser1,
                        [this](PageDialog::Kind kind, const QString& origin, const QString& text, const QString& value,
                               QString* answer) { return askForPage(kind, origin, text, value, answer); });
    m_webBrowser1->setPage(m_page);
    m_webBrowser1->setGeometry(twipsRect(120, 1140, 6135, 5595));
    auto* urlLabel = new QLabel(QStringLiteral("URL:"), m_frmBrowser);
    urlLabel->setObjectName(QStringLiteral("Label1"));
    urlLabel->setGeometry(twipsRect(120, 300, 1215, 255));
    m_skinLabel1.push_back(
        makeSkinLabelTemplate(m_frmBrowser, QStringLiteral("Windowed Label"), QRect(3180, 6840, 555, 135)));
    for (QWidget* w : m_frmBrowser->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        w->setFont(regular);

    m_statusBar1 = new QStatusBar(this);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setSizeGripEnabled(false);
    auto* panel = new StatusPanel(m_statusBar1);
    panel->setObjectName(QStringLiteral("Panel1"));
    m_statusBar1->addWidget(panel);
    m_panels.push_back(panel);

    m_closeLater.setSingleShot(true);
    m_closeLater.setInterval(0);
    connect(&m_closeLater, &QTimer::timeout, this, &QWidget::close);
    connect(m_command3, &QPushButton::clicked, this, &FrmWebsite::Command3_Click);
    connect(m_text1, &QLineEdit::returnPressed, this, &FrmWebsite::Command3_Click); // Text1_KeyPress
    // Back, Forward, Stop and Refresh are safe at any time: with nothing to do they do nothing.
    connect(backButton, &QPushButton::clicked, this, [this] {
        m_page->userNavigates();
        m_webBrowser1->back();
    });
    connect(forward, &QPushButton::clicked, this, [this] {
        m_page->userNavigates();
        m_webBrowser1->forward();
    });
    connect(stop, &QPushButton::clicked, m_webBrowser1, &QWebEngineView::stop);
    connect(refresh, &QPushButton::clicked, this, [this] {
        m_page->userNavigates();
        m_downloadsRefused = false;
        m_webBrowser1->reload();
    });
    connect(m_page, &QWebEnginePage::linkHovered, this, &FrmWebsite::statusText);
    connect(m_page, &BrowserPage::refused, this, &FrmWebsite::statusText);
    connect(m_page, &QWebEnginePage::urlChanged, this, &FrmWebsite::pageCommitted);
    connect(m_webBrowser1, &QWebEngineView::loadFinished, this, &FrmWebsite::downloadComplete);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &FrmWebsite::loadingChanged);
    connect(m_page->profile(), &QWebEngineProfile::downloadRequested, this, &FrmWebsite::download);
}

void FrmWebsite::formLoad()
{
    FillProductIdentity(m_ctx);
    auto* panel2 = new StatusPanel(m_statusBar1);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setFont(m_panels[0]->font());
    m_statusBar1->addWidget(panel2);
    m_panels.push_back(panel2);
    setWindowTitle(m_ctx.identity.companyWebsite);
    SetTopmost(this, true);
    if (m_ctx.skinningEnabled)
        copyPlainLabelsToSkinLabels(this, m_skinLabel1);
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
    m_page->userNavigates();
    m_downloadsRefused = false;
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

void FrmWebsite::loadingChanged(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
        statusText(QStringLiteral("Cannot open %1: %2").arg(info.url().toString(), info.errorString()));
}

void FrmWebsite::download(QWebEngineDownloadRequest* request)
{
    if (request->page() != m_page)
        return;
    const QString name = request->downloadFileName();
    if (m_downloadsRefused) {
        // The user said no to this page once: it does not get to ask again until the user
        // takes the browser somewhere.
        request->cancel();
        statusText(QStringLiteral("Download of %1 cancelled").arg(name));
        return;
    }
    const QString proposed = QDir(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)).filePath(name);
    const QString path = m_ctx.platform.files.askSavePath(this, QStringLiteral("Save Download"), proposed);
    if (path.isEmpty()) {
        m_downloadsRefused = true;
        request->cancel();
        statusText(QStringLiteral("Download of %1 cancelled").arg(name));
        return;
    }
    const QFileInfo target(path);
    request->setDownloadDirectory(target.absolutePath());
    request->setDownloadFileName(target.fileName());
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this, request] {
        const qint64 total = request->totalBytes();
        // One arg() call: a file name holding "%1" stays as it is.
        const QString name = request->downloadFileName();
        statusText(
            total > 0
                ? QStringLiteral("Downloading %1: %2%")
                      .arg(name, QString::number(request->receivedBytes() * 100 / total))
                : QStringLiteral("Downloading %1: %2 bytes").arg(name, QString::number(request->receivedBytes())));
    });
    connect(request, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, request] {
        const QString file = QDir(request->downloadDirectory()).filePath(request->downloadFileName());
        switch (request->state()) {
        case QWebEngineDownloadRequest::DownloadCompleted:
            statusText(
                QStringLiteral("Downloaded %1 to %2").arg(request->downloadFileName(), QDir::toNativeSeparators(file)));
            break;
        case QWebEngineDownloadRequest::DownloadCancelled:
            statusText(QStringLiteral("Download of %1 cancelled").arg(request->downloadFileName()));
            break;
        default:
            statusText(QStringLiteral("Download of %1 failed: %2")
                           .arg(request->downloadFileName(), request->interruptReasonString()));
        }
    });
    request->accept();
    statusText(QStringLiteral("Downloading %1").arg(target.fileName()));
}

bool FrmWebsite::askForPage(PageDialog::Kind kind, const QString& origin, const QString& text, const QString& value,
                            QString* answer)
{
    if (m_closing || m_pageDialog)
        return false; // the window is going, or a dialog is up already: the page gets no for an answer
    QPointer<FrmWebsite> self = this;
    QPointer<PageDialog> dialog = new PageDialog(this, kind, origin, text, value);
    m_pageDialog = dialog;
    m_frmBrowser->setEnabled(false); // the page and its controls wait for the answer
    const bool ok = dialog->ask(answer);
    delete dialog;
    if (self)
        m_frmBrowser->setEnabled(true);
    return ok;
}

void FrmWebsite::pageCommitted(const QUrl& url)
{
    // The box shows the page on screen as soon as it is there, unless the user is typing in it.
    if (!(m_text1->hasFocus() && m_text1->isModified()))
        m_text1->setText(url.toString());
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
    if (m_ctx.mainWindowClosed) {
        if (m_ctx.skinningEnabled)
            m_ctx.skinService.stopService();
        m_ctx.platform.programEnd.endNow();
    }
}
