#pragma once
#include "windows/browser/PageDialog.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <vector>

class AppContext;
class BrowserPage;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QUrl;
class QWebEngineDownloadRequest;
class QWebEngineLoadingInfo;
class QWebEngineView;
class StatusPanel;
class SkinLabel;

// The built-in browser: address box, Go, Back, Forward, Stop, Refresh and a status bar.
class FrmWebsite : public QWidget {
    Q_OBJECT
public:
    explicit FrmWebsite(AppContext& ctx);

    void formLoad();
    void LayoutControls();
    void Navigate(const QString& address);
    void Command3_Click();
    QWebEngineView* webBrowser() const { return m_webBrowser1; }
    PageDialog* pageDialog() const { return m_pageDialog; }
    QString lastNavigation() const { return m_lastNavigation; }
    const std::vector<SkinLabel*>& skinLabel1() const { return m_skinLabel1; }

signals:
    void unloaded();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void statusText(const QString& text);
    void downloadComplete();
    void loadingChanged(const QWebEngineLoadingInfo& info);
    void download(QWebEngineDownloadRequest* request);
    void pageCommitted(const QUrl& url);
    bool askForPage(PageDialog::Kind kind, const QString& origin, const QString& text, const QString& value,
                    QString* answer);

    AppContext& m_ctx;
    QGroupBox* m_frmBrowser;
    QLineEdit* m_text1;
    QPushButton* m_command3;
    QWebEngineView* m_webBrowser1;
    BrowserPage* m_page;
    QStatusBar* m_statusBar1;
    std::vector<StatusPanel*> m_panels;
    QPointer<PageDialog> m_pageDialog; // the page's dialog while one is open
    bool m_closing = false;
    bool m_downloadsRefused = false; // the user cancelled one of this page's downloads
    QTimer m_closeLater;             // closes the window once its page's dialog has stopped waiting
    std::vector<SkinLabel*> m_skinLabel1;
    QString m_lastNavigation;
};
