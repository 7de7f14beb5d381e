#pragma once
#include "windows/browser/PageDialog.h"

#include <QWebEnginePage>
#include <functional>

// The browser window's page. There is one browser window, so a link or script that asks for a new
// window opens in this page; the page's own dialogs are answered by its window, which blocks
// nothing else while they are open.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    using Ask = std::function<bool(PageDialog::Kind kind, const QString& text, const QString& value, QString* answer)>;

    BrowserPage(QWebEngineProfile* profile, QObject* parent, Ask ask);

protected:
    void javaScriptAlert(const QUrl& origin, const QString& text) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& text) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value, QString* result) override;

private:
    Ask m_ask;
};
