#include "windows/browser/BrowserPage.h"

#include "core/browser/PageRules.h"

#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

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

} // namespace

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
    // What the user asked for goes as asked; a frame inside the page stays the engine's business.
    if (!isMainFrame || type == NavigationTypeTyped || type == NavigationTypeBackForward ||
        type == NavigationTypeReload)
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
