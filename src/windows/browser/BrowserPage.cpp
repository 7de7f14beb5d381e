#include "windows/browser/BrowserPage.h"

#include "core/browser/PageRules.h"

#include <QFile>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

// The page script is built into this static library: registered once, before its first use.
static void registerPageScript()
{
    Q_INIT_RESOURCE(browser);
}

QT_BEGIN_NAMESPACE
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
QT_END_NAMESPACE

namespace {

constexpr int kDialogsInRow = 3;
constexpr qint64 kDialogRowGapMs = 10'000; // dialogs further apart than this are not a row

// Every request a page makes, checked against the page it is made for.
class FetchFence final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!pagerules::mayFetch(info.firstPartyUrl(), info.requestUrl()))
            info.block(true);
    }
};

// Takes every peer-to-peer interface away from a local page and the frames in it, before the page's
// own scripts run.
QWebEngineScript noPeerConnections()
{
    [[maybe_unused]] static const bool registered = (registerPageScript(), true);
    QFile file(QStringLiteral(":/browser/no-peer-connections.js"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the browser's page script is missing");
    QWebEngineScript script;
    script.setName(QStringLiteral("no-peer-connections"));
    script.setSourceCode(QString::fromUtf8(file.readAll()));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld); // where the page's own scripts would find them
    script.setRunsOnSubFrames(true);
    return script;
}

} // namespace

QWebEngineProfile* BrowserPage::engineProfile()
{
    // The graphics context the engine shares was named at start-up and is made now, the first
    // time the engine is needed (where the engine came with the program, it made it itself).
    if (QOpenGLContext* shared = qt_gl_global_share_context(); shared && !shared->isValid()) {
        // Named before the application had screens: it takes the primary one now.
        shared->setScreen(QGuiApplication::primaryScreen());
        shared->setFormat(QSurfaceFormat::defaultFormat());
        shared->create();
    }
    if (QQuickWindow::graphicsApi() == QSGRendererInterface::Unknown)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    // The engine reads its switches from this variable once, when it starts (and ignores the
    // program's arguments while the variable is set): what is there already is kept.
    [[maybe_unused]] static const bool switched = [] {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        flags += " --force-webrtc-ip-handling-policy=disable_non_proxied_udp"
                 " --disable-blink-features=WebTransport";
        return qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    }();
    return QWebEngineProfile::defaultProfile();
}

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent, Ask ask)
    : QWebEnginePage(profile, parent), m_ask(std::move(ask))
{
    QWebEngineSettings* s = settings();
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false); // no window without a click
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    s->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    setUrlRequestInterceptor(new FetchFence(this));
    scripts().insert(noPeerConnections());

    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        const QUrl target = request.requestedUrl();
        if (!request.isUserInitiated())
            emit refused(QStringLiteral("Not opened: %1 (a page opens a window only when you click)")
                             .arg(pagerules::shortAddress(target)));
        else if (!pagerules::mayLeadTo(url(), target))
            emit refused(
                QStringLiteral("Not opened: %1 (this page may not lead there)").arg(pagerules::shortAddress(target)));
        else
            load(target);
    });
    connect(this, &QWebEnginePage::featurePermissionRequested, this, [this](const QUrl& origin, Feature feature) {
        setFeaturePermission(origin, feature, PermissionDeniedByUser);
    });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
}

void BrowserPage::userNavigates()
{
    m_dialogsInRow = 0;
    m_dialogsRefused = false;
}

bool BrowserPage::acceptNavigationRequest(const QUrl& target, NavigationType type, bool isMainFrame)
{
    // A local page's frames load nothing: a new document is beyond the page script's reach for its
    // first moments. A web page's frames are the engine's business; what the user asked for goes.
    if (!isMainFrame)
        return !pagerules::isLocal(url());
    if (type == NavigationTypeTyped || type == NavigationTypeBackForward || type == NavigationTypeReload)
        return true;
    if (pagerules::mayLeadTo(url(), target))
        return true;
    emit refused(QStringLiteral("Not opened: %1 (this page may not lead there)").arg(pagerules::shortAddress(target)));
    return false;
}

bool BrowserPage::mayAsk(const QUrl& origin)
{
    if (m_dialogsRefused)
        return false;
    if (!m_lastDialog.isValid() || m_lastDialog.elapsed() > kDialogRowGapMs)
        m_dialogsInRow = 0;
    if (m_dialogsInRow < kDialogsInRow)
        return true;
    m_dialogsRefused = true;
    emit refused(QStringLiteral("Further dialogs of %1 are refused").arg(pagerules::originCaption(origin)));
    return false;
}

bool BrowserPage::ask(PageDialog::Kind kind, const QUrl& origin, const QString& text, const QString& value,
                      QString* answer)
{
    if (!mayAsk(origin))
        return false;
    ++m_dialogsInRow;
    const bool ok = m_ask(kind, pagerules::originCaption(origin), text, value, answer);
    m_lastDialog.start();
    return ok;
}

void BrowserPage::javaScriptAlert(const QUrl& origin, const QString& text)
{
    ask(PageDialog::Kind::Alert, origin, text, QString(), nullptr);
}

bool BrowserPage::javaScriptConfirm(const QUrl& origin, const QString& text)
{
    return ask(PageDialog::Kind::Confirm, origin, text, QString(), nullptr);
}

bool BrowserPage::javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value, QString* result)
{
    return ask(PageDialog::Kind::Prompt, origin, text, value, result);
}
