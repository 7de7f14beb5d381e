#pragma once
#include "windows/browser/PageDialog.h"

#include <QElapsedTimer>
#include <QWebEnginePage>
#include <functional>

// The browser window's page, and what a page shown there may do: it reads no file and reaches no
// network from a local page (WebRTC included; its frames load nothing), leads only where the page
// rules allow, opens a new window only on a person's click (in this one page: there is one browser
// window), is refused every permission, and gets at most three dialogs in a row, which its window
// answers without blocking anything else. What the page is refused is reported through refused().
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    using Ask = std::function<bool(PageDialog::Kind kind, const QString& origin, const QString& text,
                                   const QString& value, QString* answer)>;

    BrowserPage(QWebEngineProfile* profile, QObject* parent, Ask ask);

    // The profile the browser's pages use. The first call starts the browser engine, with its
    // peer-to-peer connections kept to TCP relays and WebTransport off.
    static QWebEngineProfile* engineProfile();

    // The user took the browser somewhere: the page's refusals start afresh.
    void userNavigates();

signals:
    void refused(const QString& what);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl& origin, const QString& text) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& text) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value, QString* result) override;

private:
    bool mayAsk(const QUrl& origin);
    bool ask(PageDialog::Kind kind, const QUrl& origin, const QString& text, const QString& value, QString* answer);

    Ask m_ask;
    int m_dialogsInRow = 0;     // dialogs shown, each within a short time of the one before
    QElapsedTimer m_lastDialog; // since the last of them was answered
    bool m_dialogsRefused = false;
};
