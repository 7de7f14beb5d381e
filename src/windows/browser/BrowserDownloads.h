#pragma once
#include <QObject>
#include <functional>

class FileDialogs;
class QWebEngineDownloadRequest;
class QWebEnginePage;
class QWidget;

// The downloads a page starts: each is saved only where the user chooses, and its progress and end
// go to the window's status. Once the user has cancelled one, the page asks no more until the user
// takes the browser somewhere.
class BrowserDownloads : public QObject {
    Q_OBJECT
public:
    using ShowStatus = std::function<void(const QString&)>;

    BrowserDownloads(QWidget* window, const QWebEnginePage* page, FileDialogs& files, ShowStatus showStatus);

    // The user took the browser somewhere: the page may ask again.
    void userNavigates() { m_refused = false; }

private:
    void start(QWebEngineDownloadRequest* request);
    void follow(QWebEngineDownloadRequest* request);

    QWidget* m_window;
    const QWebEnginePage* m_page;
    FileDialogs& m_files;
    ShowStatus m_showStatus;
    bool m_refused = false; // the user cancelled one of this page's downloads
};
