// Skinning: the skin file, the colour table, the recovery through the splash window, the service.
#include "support/TestProgram.h"
#include "windows/browser/BrowserWindow.h"
#include "windows/info/HelpWindow.h"
#include "windows/info/SplashWindow.h"
#include "windows/main/EntryListView.h"
#include "windows/main/MainWindow.h"
#include "windows/platform/WindowRegistry.h"
#include "windows/skin/SkinEngine.h"
#include "windows/skin/SkinLabel.h"
#include "windows/skin/SkinService.h"
#include "windows/skin/Skinning.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

double luminance(const QColor& c)
{
    const auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// The WCAG contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString shippedSkin()
{
    QFile f(QStringLiteral(":/skins/harbour.skin"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

SplashWindow* splashOf(TestProgram& p)
{
    return p.program->windows.splash;
}

} // namespace

class TestSkinning : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void shippedSkinReadsWithEnoughContrast();
    void damagedSkinsAreRefused_data();
    void damagedSkinsAreRefused();
    void colourTable();
    void helpWindowGetsOnlyTheWindowLook();
    void windowSkinnedBeforeSkinningStartedGetsTheSkin();
    void brokenSkinNeverStopsTheProgram();
    void serviceStopsAtTheEndFromEitherWindow();
};

void TestSkinning::initTestCase()
{
    TestProgram registersResources;
    QVERIFY(!shippedSkin().isEmpty());
}

void TestSkinning::shippedSkinReadsWithEnoughContrast()
{
    const ResultWith<SkinFile> parsed = parseSkin(shippedSkin());
    QVERIFY2(parsed.ok, qPrintable(parsed.reason));
    const SkinFile& skin = parsed.value;
    QCOMPARE(skin.name, QStringLiteral("Harbour"));
    QVERIFY(!skin.windowStyle.contains(QLatin1String("${")));
    const auto c = [&](const char* key) { return skin.colours.value(QLatin1String(key)); };
    QVERIFY(contrastRatio(c("fore"), c("back")) >= 4.5);
    QVERIFY(contrastRatio(c("text"), c("window")) >= 4.5);
    QVERIFY(contrastRatio(c("paneltext"), c("panel")) >= 4.5);
    QVERIFY(contrastRatio(c("panel"), c("window")) >= 4.5);        // skinned labels
    QVERIFY(contrastRatio(QColor(Qt::white), c("accent")) >= 4.5); // selected rows
    SkinEngine engine;
    QVERIFY(engine.load(QStringLiteral(":/skins/harbour.skin")).ok);
    QCOMPARE(SkinEngine::fromRgbValue(engine.backColor().value), c("back"));
    QCOMPARE(engine.panelColor().value & 0xFF, c("panel").red()); // red in the lowest byte
}

void TestSkinning::damagedSkinsAreRefused_data()
{
    QTest::addColumn<QString>("text");
    const QString head = QStringLiteral("name = T\nback = #000000\nfore = #FFFFFF\npanel = #111111\n");
    QTest::newRow("empty") << QString();
    QTest::newRow("colour missing") << head + QStringLiteral("[style]\nQWidget {}\n");
    QTest::newRow("bad colour") << head + QStringLiteral("paneltext = red\n[style]\nQWidget {}\n");
    QTest::newRow("unknown colour in style")
        << head + QStringLiteral("paneltext = #222222\n[style]\nQWidget { color: ${nope}; }\n");
    QTest::newRow("no style") << head + QStringLiteral("paneltext = #222222\n");
    QTest::newRow("hue out of range") << head + QStringLiteral("paneltext = #222222\nhue = 400\n[style]\nQWidget {}\n");
}

void TestSkinning::damagedSkinsAreRefused()
{
    QFETCH(QString, text);
    const ResultWith<SkinFile> parsed = parseSkin(text);
    QVERIFY(!parsed.ok);
    QVERIFY(!parsed.reason.isEmpty());
}

void TestSkinning::colourTable()
{
    struct Case {
        QWidget* control;
        bool back;
        bool fore;
        bool panel;
    };
    TestProgram p; // the entry list views an open vault
    QWidget window;
    auto* pictureBox = new QLabel(&window);
    pictureBox->setProperty("controlTypeName", QStringLiteral("PictureBox"));
    auto* otherCase = new QLineEdit(&window);
    otherCase->setProperty("controlTypeName", QStringLiteral("textbox"));
    const std::vector<Case> cases = {{new QPushButton(&window), true, false, false},
                                     {new QLineEdit(&window), true, true, false},
                                     {new QComboBox(&window), true, true, false},
                                     {new QListWidget(&window), true, true, false},
                                     {new EntryListView(p.ctx->vault, &window), true, true, false},
                                     {pictureBox, false, false, true},
                                     {new QLabel(&window), false, false, false},
                                     {new SkinLabel(QString(), &window), false, false, false},
                                     {new QCheckBox(&window), false, false, false},
                                     {new QGroupBox(&window), false, false, false},
                                     {new QToolButton(&window), false, false, false}, // Qt's own parts
                                     {otherCase, false, false, false}};
    const qint32 back = 0x00112233, fore = 0x00445566, panel = 0x00778899;
    applySkinColors(&window, back, fore, panel);
    for (const Case& c : cases) {
        const QVariant backColor = c.control->property("BackColor");
        const QVariant foreColor = c.control->property("ForeColor");
        const char* type = c.control->metaObject()->className();
        QVERIFY2(backColor.isValid() == (c.back || c.panel), type);
        QVERIFY2(foreColor.isValid() == c.fore, type);
        if (c.back)
            QCOMPARE(backColor.toInt(), back);
        if (c.panel)
            QCOMPARE(backColor.toInt(), panel);
        if (c.fore)
            QCOMPARE(foreColor.toInt(), fore);
    }
    QCOMPARE(cases[1].control->palette().color(QPalette::Base), SkinEngine::fromRgbValue(back));
    QCOMPARE(cases[1].control->palette().color(QPalette::Text), SkinEngine::fromRgbValue(fore));
}

void TestSkinning::helpWindowGetsOnlyTheWindowLook()
{
    TestProgram p;
    QFile helpFile(p.folder() + QStringLiteral("/Help.rtf"));
    QVERIFY(helpFile.open(QIODevice::WriteOnly));
    helpFile.write("{\\rtf1 Help}");
    helpFile.close();
    p.fake.settings.values.clear();
    p.startAndUnlock();
    HelpWindow* help = p.program->windows.help;
    QVERIFY(help && help->isVisible());
    QVERIFY(!help->styleSheet().isEmpty());
    for (QWidget* control : help->findChildren<QWidget*>())
        QVERIFY(!control->property("BackColor").isValid());
    // The main window's controls took the colours.
    auto* add = p.mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdAdd"));
    QCOMPARE(add->property("BackColor").toInt(), p.ctx->skinEngine.backColor().value);
}

void TestSkinning::windowSkinnedBeforeSkinningStartedGetsTheSkin()
{
    TestProgram p;
    initProductIdentity(*p.ctx);
    QWidget window;
    auto* button = new QPushButton(&window);
    QVERIFY(skinWindow(p.ctx->skinEngine, p.ctx->skinPath, &window).ok);
    QVERIFY(button->property("BackColor").isValid());
    QVERIFY(!window.styleSheet().isEmpty());
    // Skinning a window opens no other window.
    QVERIFY(!splashOf(p));
    QTest::qWait(200);
    QVERIFY(!p.mainWindow());
}

void TestSkinning::brokenSkinNeverStopsTheProgram()
{
    TestProgram p;
    p.ctx->skinPath = p.folder() + QStringLiteral("/missing.skin");
    // At start: the splash window's own skinning fails inside its load, without waiting.
    p.program->start();
    SplashWindow* splash = splashOf(p);
    QVERIFY(splash && splash->isVisible());
    QVERIFY(splash->styleSheet().isEmpty());
    QVERIFY(!p.ctx->skinService.running());                    // attaching and starting failed
    QTRY_VERIFY_WITH_TIMEOUT(p.mainWindow() != nullptr, 3000); // and the hand-over still comes
    QVERIFY(p.gate());
    // Afterwards: a window that cannot be skinned keeps the platform's look.
    QWidget window;
    auto* edit = new QLineEdit(&window);
    QVERIFY(!skinWindow(p.ctx->skinEngine, p.ctx->skinPath, &window).ok);
    QVERIFY(window.styleSheet().isEmpty());
    QVERIFY(!edit->property("BackColor").isValid());
}

void TestSkinning::serviceStopsAtTheEndFromEitherWindow()
{
    {
        TestProgram p;
        p.startAndUnlock();
        QVERIFY(p.ctx->skinService.running());
        p.mainWindow()->close();
        QCOMPARE(p.ctx->skinService.stops(), 1);
        QVERIFY(!p.ctx->skinService.running());
        QCOMPARE(p.fake.programEnd.ends, 1);
    }
    TestProgram p;
    p.ctx->homePage = QStringLiteral("about:blank");
    p.startAndUnlock();
    p.mainWindow()->visitWebsite();
    auto* browser = qobject_cast<BrowserWindow*>(p.program->windows.browser.data());
    QVERIFY(browser && browser->isVisible());
    p.mainWindow()->close();
    QCOMPARE(p.ctx->skinService.stops(), 0); // the browser still shows the skin
    QVERIFY(p.ctx->skinService.running());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    browser->close();
    QCOMPARE(p.ctx->skinService.stops(), 1);
    QCOMPARE(p.fake.programEnd.ends, 1);
}

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestSkinning test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_skinning.moc"
