#pragma once
#include "windows/browser/PageDialog.h"
#include "windows/context/LoadableWindow.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <vector>

class AppContext;
class BrowserDownloads;
class BrowserPage;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QUrl;
class QWebEngineLoadingInfo;
class QWebEngineView;
class StatusPanel;
class SkinLabel;

// The built-in browser: address box, Go, Back, Forward, Stop, Refresh and a status bar.
class BrowserWindow : public LoadableWindow {
    Q_OBJECT
public:
    explicit BrowserWindow(AppContext& ctx);

    void onLoad() override;
    // Opens an address read as a browser's address box reads it; one that cannot be opened is
    // reported in the status bar.
    void navigate(const QString& address);
    void goToTypedAddress();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Where the controls go for the window's outer size.
    void layOutControls();
    void showStatus(const QString& text);
    void userNavigates();
    void pageLoaded();
    void loadingChanged(const QWebEngineLoadingInfo& info);
    void pageCommitted(const QUrl& url);
    bool askForPage(PageDialog::Kind kind, const QString& origin, const QString& text, const QString& value,
                    QString* answer);

    AppContext& m_ctx;
    QGroupBox* m_frame;
    QLineEdit* m_addressBox;
    QPushButton* m_goButton;
    QWebEngineView* m_webView;
    BrowserPage* m_page;
    BrowserDownloads* m_downloads;
    QStatusBar* m_statusBar;
    std::vector<StatusPanel*> m_panels;
    QPointer<PageDialog> m_pageDialog; // the page's dialog while one is open
    bool m_closing = false;
    QTimer m_closeLater;                  // closes the window once its page's dialog has stopped waiting
    std::vector<SkinLabel*> m_skinLabels; // element 0 is the hidden template
};
