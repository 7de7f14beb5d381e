#include "windows/browser/BrowserDownloads.h"

#include "core/platform/FileDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWidget>

BrowserDownloads::BrowserDownloads(QWidget* window, const QWebEnginePage* page, FileDialogs& files,
                                   ShowStatus showStatus)
    : QObject(window), m_window(window), m_page(page), m_files(files), m_showStatus(std::move(showStatus))
{
    connect(page->profile(), &QWebEngineProfile::downloadRequested, this, &BrowserDownloads::start);
}

void BrowserDownloads::start(QWebEngineDownloadRequest* request)
{
    if (request->page() != m_page)
        return;
    const QString name = request->downloadFileName();
    if (m_refused) {
        request->cancel();
        m_showStatus(QStringLiteral("Download of %1 cancelled").arg(name));
        return;
    }
    const QString proposed = QDir(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)).filePath(name);
    const QString path = m_files.askSavePath(m_window, QStringLiteral("Save Download"), proposed);
    if (path.isEmpty()) {
        m_refused = true;
        request->cancel();
        m_showStatus(QStringLiteral("Download of %1 cancelled").arg(name));
        return;
    }
    const QFileInfo target(path);
    request->setDownloadDirectory(target.absolutePath());
    request->setDownloadFileName(target.fileName());
    follow(request);
    request->accept();
    m_showStatus(QStringLiteral("Downloading %1").arg(target.fileName()));
}

void BrowserDownloads::follow(QWebEngineDownloadRequest* request)
{
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this, request] {
        const qint64 total = request->totalBytes();
        // One arg() call: a file name holding "%1" stays as it is.
        const QString name = request->downloadFileName();
        m_showStatus(
            total > 0
                ? QStringLiteral("Downloading %1: %2%")
                      .arg(name, QString::number(request->receivedBytes() * 100 / total))
                : QStringLiteral("Downloading %1: %2 bytes").arg(name, QString::number(request->receivedBytes())));
    });
    connect(request, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, request] {
        const QString file = QDir(request->downloadDirectory()).filePath(request->downloadFileName());
        switch (request->state()) {
        case QWebEngineDownloadRequest::DownloadCompleted:
            m_showStatus(
                QStringLiteral("Downloaded %1 to %2").arg(request->downloadFileName(), QDir::toNativeSeparators(file)));
            break;
        case QWebEngineDownloadRequest::DownloadCancelled:
            m_showStatus(QStringLiteral("Download of %1 cancelled").arg(request->downloadFileName()));
            break;
        default:
            m_showStatus(QStringLiteral("Download of %1 failed: %2")
                             .arg(request->downloadFileName(), request->interruptReasonString()));
        }
    });
}
