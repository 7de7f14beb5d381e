#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

// A web server on 127.0.0.1 for the browser's tests: serves the pages it is given, and a page
// that sends its headers and part of its body, then waits for ever. Every request it receives,
// headers and body, is kept.
class TestWebServer : public QObject {
    Q_OBJECT
public:
    TestWebServer();

    QString url(const QString& path) const;
    void addPage(const QString& path, const QByteArray& html);
    void addStalledPage(const QString& path, const QByteArray& firstPart);
    const QList<QByteArray>& requests() const { return m_requests; }
    // Whether any request received so far holds these bytes.
    bool received(const QByteArray& bytes) const;

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, QByteArray> m_pages;
    QHash<QString, QByteArray> m_stalled;
    QList<QByteArray> m_requests;
    QList<QPointer<QTcpSocket>> m_waiting; // the stalled pages' connections, kept open
};
