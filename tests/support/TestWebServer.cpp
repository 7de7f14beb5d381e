#include "support/TestWebServer.h"

TestWebServer::TestWebServer()
{
    if (!m_server.listen(QHostAddress::LocalHost))
        qFatal("the test web server cannot listen");
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
}

QString TestWebServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(QString::number(m_server.serverPort()), path);
}

void TestWebServer::addPage(const QString& path, const QByteArray& html)
{
    m_pages.insert(path, html);
}

void TestWebServer::addStalledPage(const QString& path, const QByteArray& firstPart)
{
    m_stalled.insert(path, firstPart);
}

bool TestWebServer::received(const QByteArray& bytes) const
{
    return std::any_of(m_requests.begin(), m_requests.end(), [&](const QByteArray& r) { return r.contains(bytes); });
}

void TestWebServer::serve(QTcpSocket* socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    const qsizetype headEnd = request.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    qsizetype bodySize = 0;
    for (const QByteArray& line : request.left(headEnd).split('\n'))
        if (line.toLower().startsWith("content-length:"))
            bodySize = line.mid(15).trimmed().toLongLong();
    if (request.size() < headEnd + 4 + bodySize)
        return;
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    m_requests.append(request);
    const QList<QByteArray> words = request.left(request.indexOf('\r')).split(' ');
    const QString path = words.size() > 1 ? QString::fromLatin1(words[1]).section(QLatin1Char('?'), 0, 0) : QString();
    const auto head = [](const char* status, qsizetype length) {
        return QByteArray("HTTP/1.1 ") + status +
               "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + QByteArray::number(length) +
               "\r\nConnection: close\r\n\r\n";
    };
    if (m_stalled.contains(path)) {
        const QByteArray part = m_stalled.value(path);
        socket->write(head("200 OK", part.size() + 100'000) + part);
        socket->flush();
        m_waiting.append(socket);
        return;
    }
    const QByteArray body = m_pages.value(path, "<html><head><title>Not found</title></head></html>");
    socket->write(head(m_pages.contains(path) ? "200 OK" : "404 Not Found", body.size()) + body);
    socket->disconnectFromHost();
}
