// The built-in browser: layout arithmetic, start addresses, navigation, and shutdown with it open.
#include "browser/BrowserLayout.h"
#include "browser/FrmWebsite.h"
#include "mainwindow/Form1.h"
#include "platform/Topmost.h"
#include "platform/Twips.h"
#include "presentation/SkinLabel.h"
#include "support/TestProgram.h"

#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineHistory>
#include <QWebEngineView>

Q_DECLARE_METATYPE(BrowserLayout)

namespace {

// Pages the browser opens in these tests, in the program's temporary folder.
QString writePage(const TestProgram& p, const QString& name, const QString& title)
{
    const QString path = p.folder() + QLatin1Char('/') + name;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QStringLiteral("<html><head><title>%1</title></head><body><a href=\"%2\">link</a></body></html>")
                    .arg(title, name)
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

FrmWebsite* openBrowser(TestProgram& p)
{
    QTest::mouseClick(p.form1()->findChild<QPushButton*>(QStringLiteral("cmdWebsite")), Qt::LeftButton);
    return p.ctx->windows.frmWebsite;
}

bool waitLoaded(FrmWebsite* browser)
{
    QSignalSpy finished(browser->webBrowser(), &QWebEngineView::loadFinished);
    return finished.wait(20000);
}

QString text1(FrmWebsite* browser)
{
    return browser->findChild<QLineEdit*>(QStringLiteral("Text1"))->text();
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

} // namespace

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void engineStartsWithTheBrowserOnly();
    void startAddressesAndBringToFront();
    void navigation();
    void refusedAddressReportedInStatus();
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
    FrmWebsite* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    QVERIFY(engineProcessRunning());
}

void TestBrowser::startAddressesAndBringToFront()
{
    TestProgram p;
    startWithPages(p);
    FrmWebsite* browser = openBrowser(p);
    QVERIFY(browser && browser->isVisible());
    QCOMPARE(browser->windowTitle(), p.ctx->identity.companyWebsite); // until the page is there
    QVERIFY(browser->windowState() & Qt::WindowMaximized);
    QVERIFY(!IsTopmost(browser));
    QCOMPARE(browser->lastNavigation(), p.ctx->homePage);
    QCOMPARE(p.ctx->browserTarget, QStringLiteral("Website"));
    // One skinned copy: the plain label "URL:" in the frame, over it.
    QCOMPARE(browser->skinLabel1().size(), size_t(2));
    QCOMPARE(browser->skinLabel1()[1]->text(), QStringLiteral("URL:"));
    QVERIFY(!browser->skinLabel1()[0]->isVisible());
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Home"));
    QVERIFY(text1(browser).endsWith(QLatin1String("/home.html")));
    // Open already: only brought to the front, no new navigation.
    browser->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("typed"));
    QCOMPARE(openBrowser(p), browser);
    QCOMPARE(text1(browser), QStringLiteral("typed"));
    // Closed and opened again: the company website.
    browser->close();
    QCOMPARE(p.fake.programEnd.ends, 0);
    FrmWebsite* again = openBrowser(p);
    QVERIFY(again != browser);
    QCOMPARE(again->lastNavigation(), p.ctx->identity.companyWebsite);
    QVERIFY(waitLoaded(again));
    QCOMPARE(again->windowTitle(), QStringLiteral("Site"));
}

void TestBrowser::navigation()
{
    TestProgram p;
    startWithPages(p);
    FrmWebsite* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    auto* back = browser->findChild<QPushButton*>(QStringLiteral("Command4"));
    auto* forward = browser->findChild<QPushButton*>(QStringLiteral("Command5"));
    QTest::mouseClick(back, Qt::LeftButton); // no history yet: nothing happens
    QCOMPARE(browser->windowTitle(), QStringLiteral("Home"));
    QVERIFY(p.fake.messages.boxes.empty());

    const QString other = writePage(p, QStringLiteral("other.html"), QStringLiteral("Other"));
    auto* address = browser->findChild<QLineEdit*>(QStringLiteral("Text1"));
    address->setText(other);
    QTest::keyClick(address, Qt::Key_Return);
    QCOMPARE(browser->lastNavigation(), other); // passed as typed
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Other"));
    QCOMPARE(text1(browser), QUrl::fromLocalFile(other).toString());

    address->setText(p.folder() + QStringLiteral("/site.html"));
    QTest::mouseClick(browser->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Site"));
    QTest::mouseClick(back, Qt::LeftButton);
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Other"));
    QTest::mouseClick(forward, Qt::LeftButton);
    QVERIFY(waitLoaded(browser));
    QCOMPARE(browser->windowTitle(), QStringLiteral("Site"));
    QTest::mouseClick(browser->findChild<QPushButton*>(QStringLiteral("Command7")), Qt::LeftButton);
    QVERIFY(waitLoaded(browser));
    QTest::mouseClick(browser->findChild<QPushButton*>(QStringLiteral("Command6")), Qt::LeftButton);
    QCOMPARE(browser->windowTitle(), QStringLiteral("Site"));
    // Laid out for its size: the address box reaches to the Go button.
    auto* go = browser->findChild<QPushButton*>(QStringLiteral("Command3"));
    QCOMPARE(go->x(), twipsToPixels(address->width() * kTwipsPerPixel + 540 + 100));
    QCOMPARE(browser->webBrowser()->width(),
             twipsToPixels(std::lround((browser->frameGeometry().width() * kTwipsPerPixel - 300 - 220) / 15.0) * 15));
}

void TestBrowser::refusedAddressReportedInStatus()
{
    TestProgram p;
    startWithPages(p);
    FrmWebsite* browser = openBrowser(p);
    QVERIFY(waitLoaded(browser));
    auto* address = browser->findChild<QLineEdit*>(QStringLiteral("Text1"));
    auto* panel1 = browser->findChild<QLabel*>(QStringLiteral("Panel1"));
    for (const QString& refused : {QStringLiteral("http://"), QString()}) {
        panel1->clear();
        address->setText(refused);
        QTest::keyClick(address, Qt::Key_Return);
        QVERIFY2(panel1->text().startsWith(QLatin1String("Cannot open")), qPrintable(panel1->text()));
    }
    QCOMPARE(browser->windowTitle(), QStringLiteral("Home"));
    QCOMPARE(p.fake.programEnd.ends, 0);
}

void TestBrowser::shutdownWithBrowserOpen()
{
    TestProgram p;
    startWithPages(p);
    FrmWebsite* browser = openBrowser(p);
    p.form1()->close();
    QVERIFY(p.ctx->mainWindowClosed);
    QCOMPARE(p.fake.programEnd.ends, 0);
    QVERIFY(browser->isVisible());
    browser->close();
    QCOMPARE(p.fake.programEnd.ends, 1);

    // A browser that is loaded but not visible is closed by the main window, which ends the run.
    TestProgram q;
    startWithPages(q);
    FrmWebsite* hidden = openBrowser(q);
    hidden->hide();
    q.form1()->close();
    QVERIFY(!q.ctx->mainWindowClosed);
    QCOMPARE(q.fake.programEnd.ends, 1);
    QVERIFY(!q.ctx->windows.frmWebsite);
}

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_browser.moc"
