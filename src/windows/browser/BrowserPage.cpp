#include "windows/browser/BrowserPage.h"

#include <QWebEngineNewWindowRequest>

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent, Ask ask)
    : QWebEnginePage(profile, parent), m_ask(std::move(ask))
{
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) { load(request.requestedUrl()); });
}

void BrowserPage::javaScriptAlert(const QUrl&, const QString& text)
{
    m_ask(PageDialog::Kind::Alert, text, QString(), nullptr);
}

bool BrowserPage::javaScriptConfirm(const QUrl&, const QString& text)
{
    return m_ask(PageDialog::Kind::Confirm, text, QString(), nullptr);
}

bool BrowserPage::javaScriptPrompt(const QUrl&, const QString& text, const QString& value, QString* result)
{
    return m_ask(PageDialog::Kind::Prompt, text, value, result);
}
