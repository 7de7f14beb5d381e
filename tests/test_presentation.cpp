// Splash window, Readme/Help window and About window.
#include "support/TestProgram.h"
#include "windows/gate/PasswordGate.h"
#include "windows/info/AboutWindow.h"
#include "windows/info/HelpWindow.h"
#include "windows/info/NamedPictures.h"
#include "windows/info/SplashWindow.h"
#include "windows/main/MainWindow.h"
#include "windows/platform/Topmost.h"
#include "windows/platform/WindowRegistry.h"
#include "windows/skin/SkinLabel.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>
#include <QWindow>

namespace {

// Starts the run as the program does, at the splash window.
SplashWindow* startAtSplash(TestProgram& p)
{
    p.program->start();
    return p.program->windows.splash;
}

void writeHelp(const TestProgram& p, const QByteArray& rtf = "{\\rtf1\\ansi {\\b Help} text\\par}")
{
    QFile f(p.folder() + QStringLiteral("/Help.rtf"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(rtf);
}

void setShowHelp(TestProgram& p, const QString& value)
{
    if (value.isNull())
        p.fake.settings.values.clear();
    else
        p.fake.settings.write(QStringLiteral("Keyhaven"), QStringLiteral("Settings"), QStringLiteral("showHelp"),
                              value);
}

QString showHelp(const TestProgram& p)
{
    return p.fake.settings.values.value(QStringLiteral("Keyhaven/Settings/showHelp"));
}

} // namespace

class TestPresentation : public QObject {
    Q_OBJECT
private slots:
    void splashGivesWayToTheGate();
    void splashStillShownWhileMainWindowLoads();
    void splashRefusesOtherCloses();
    void helpAtStartupFollowsSetting_data();
    void helpAtStartupFollowsSetting();
    void helpCheckBoxWritesSetting_data();
    void helpCheckBoxWritesSetting();
    void helpMissingShowsNothing();
    void hugeHelpShowsCut_data();
    void hugeHelpShowsCut();
    void aboutTexts();
    void picturesShowTheVersionInformation();
    void aboutCopiesPlainLabelsOncePerLoad();
};

void TestPresentation::splashGivesWayToTheGate()
{
    TestProgram p;
    SplashWindow* splash = startAtSplash(p);
    QCOMPARE(p.ctx->identity.productName, QStringLiteral("Keyhaven"));
    QVERIFY(p.ctx->skinningEnabled);
    QVERIFY(!p.ctx->mainWindowClosed);
    QCOMPARE(splash->size(), QSize(476, 316));
    QVERIFY(splash->isVisible());
    QVERIFY(!p.mainWindow()); // 75 ticks of 2 ms first
    QTRY_VERIFY_WITH_TIMEOUT(p.mainWindow() != nullptr, 3000);
    QVERIFY(p.gate());
    QVERIFY(!splash->isVisible());
    QCOMPARE(p.program->windows.splash, splash); // stays loaded, hidden
    MainWindow* main = p.mainWindow();
    QTest::qWait(30); // no further hand-over
    QCOMPARE(p.mainWindow(), main);
    QVERIFY(p.gate()->isVisible());
}

void TestPresentation::splashStillShownWhileMainWindowLoads()
{
    TestProgram p;
    QVERIFY(QDir(p.folder()).mkdir(QStringLiteral("data.enc"))); // the load reports it in a box
    bool splashVisibleDuringLoad = false;
    bool boxShown = false;
    SplashWindow* splash = nullptr;
    p.fake.messages.onShow = [&](const MessageBoxes::Box&) {
        boxShown = true;
        splashVisibleDuringLoad = splash && splash->isVisible();
    };
    splash = startAtSplash(p);
    QTRY_VERIFY_WITH_TIMEOUT(boxShown, 3000);
    QVERIFY(splashVisibleDuringLoad);
    QVERIFY(!splash->isVisible());
}

void TestPresentation::splashRefusesOtherCloses()
{
    TestProgram p;
    SplashWindow* splash = startAtSplash(p);
    QVERIFY(!splash->windowHandle()->close()); // as the window manager's close (Alt+F4) does
    QVERIFY(splash->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(p.mainWindow() != nullptr, 3000); // the count goes on and hands over
    QCOMPARE(p.program->windows.splash, splash);
}

void TestPresentation::helpAtStartupFollowsSetting_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("opens");
    QTest::newRow("missing") << QString() << true;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("-1") << "-1" << false;
    QTest::newRow("blank before 1") << " 1" << false;
}

void TestPresentation::helpAtStartupFollowsSetting()
{
    QFETCH(QString, setting);
    QFETCH(bool, opens);
    TestProgram p;
    writeHelp(p);
    setShowHelp(p, setting);
    p.startAndUnlock();
    HelpWindow* help = p.program->windows.help;
    QCOMPARE(help != nullptr && help->isVisible(), opens);
    if (!opens)
        return;
    QCOMPARE(help->windowTitle(), QStringLiteral("Readme/Help"));
    QVERIFY(isTopmost(help));
    QVERIFY(help->findChild<QCheckBox*>(QStringLiteral("chkShowAtStartup"))->isChecked());
    QCOMPARE(help->findChild<QTextEdit*>(QStringLiteral("helpText"))->toPlainText().trimmed(),
             QStringLiteral("Help text"));
    QCOMPARE(showHelp(p), setting); // loading writes nothing new
}

void TestPresentation::helpCheckBoxWritesSetting_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<Qt::CheckState>("shown");
    QTest::addColumn<QStringList>("afterClicks");
    QTest::newRow("0") << "0" << Qt::Unchecked << QStringList{"1", "0", "1"};
    // Grey at first; clicks never make it grey again.
    QTest::newRow("2") << "2" << Qt::PartiallyChecked << QStringList{"1", "0", "1"};
}

void TestPresentation::helpCheckBoxWritesSetting()
{
    QFETCH(QString, stored);
    QFETCH(Qt::CheckState, shown);
    QFETCH(QStringList, afterClicks);
    TestProgram p;
    writeHelp(p);
    setShowHelp(p, stored);
    p.startAndUnlock();
    QVERIFY(!p.program->windows.help);
    p.mainWindow()->findChild<QAction*>(QStringLiteral("mnuHelpItem_0"))->trigger();
    HelpWindow* help = p.program->windows.help;
    QVERIFY(help && help->isVisible());
    auto* check = help->findChild<QCheckBox*>(QStringLiteral("chkShowAtStartup"));
    QCOMPARE(check->checkState(), shown);
    for (const QString& expected : afterClicks) {
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        QCOMPARE(showHelp(p), expected);
    }
}

void TestPresentation::helpMissingShowsNothing()
{
    TestProgram p;
    setShowHelp(p, QString());
    p.startAndUnlock();
    HelpWindow* help = p.program->windows.help;
    QVERIFY(help); // loaded, but hidden
    QVERIFY(!help->isVisible());
    p.mainWindow()->viewHelp();
    QVERIFY(!help->isVisible());
    QCOMPARE(p.program->windows.help, help);
}

void TestPresentation::hugeHelpShowsCut_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<bool>("cut");
    const QByteArray run(1'000'000, 'x');
    QTest::newRow("a run of 1 MB without a blank") << "{\\rtf1\\ansi Start " + run + " end\\par}" << true;
    QTest::newRow("a run of escaped bytes")
        << "{\\rtf1\\ansi Start " + QByteArray(600, 'y').replace("y", "\\'e9") + " end\\par}" << true;
    QTest::newRow("over 4 MB of words") << "{\\rtf1\\ansi Start " + QByteArray("many words ").repeated(400'000) + "}"
                                        << true;
    QTest::newRow("a long word that fits") << "{\\rtf1\\ansi Start " + QByteArray(500, 'z') + " end\\par}" << false;
}

void TestPresentation::hugeHelpShowsCut()
{
    QFETCH(QByteArray, rtf);
    QFETCH(bool, cut);
    TestProgram p;
    writeHelp(p, rtf);
    p.startAndUnlock();
    p.mainWindow()->viewHelp();
    HelpWindow* help = p.program->windows.help;
    QVERIFY(help && help->isVisible());
    const QString text = help->findChild<QTextEdit*>(QStringLiteral("helpText"))->toPlainText();
    QVERIFY(text.startsWith(QLatin1String("Start ")));
    QCOMPARE(text.contains(QLatin1String("Part of this help is not shown")), cut);
    // Every run that is kept can be laid out: none longer than 500 characters and an ellipsis.
    qsizetype longest = 0;
    for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s"))))
        longest = std::max(longest, word.size());
    QVERIFY2(longest <= 501, qPrintable(QString::number(longest)));
    if (rtf.contains(" end"))
        QVERIFY(text.contains(QLatin1String(" end")));
}

void TestPresentation::aboutTexts()
{
    for (const auto& [minor, shown] : {std::pair{0, "1.0"}, std::pair{12, "1.12"}}) {
        TestProgram p;
        p.ctx->version.minor = minor;
        p.startAndUnlock();
        p.mainWindow()->findChild<QAction*>(QStringLiteral("mnuAboutItem_0"))->trigger();
        AboutWindow* about = p.program->windows.about;
        QVERIFY(about && about->isVisible());
        QCOMPARE(about->windowTitle(), QStringLiteral("About Keyhaven"));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("lblProduct"))->text(), QStringLiteral("Keyhaven"));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QLatin1String(shown));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("lblCompany"))->text(), QStringLiteral("Orrindale"));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("lblWebsite"))->text(), QStringLiteral("orrindale.example"));
    }
}

void TestPresentation::picturesShowTheVersionInformation()
{
    // The same pictures under two versions and names differ where those are drawn, and only there.
    QImage splash[2], banner[2];
    for (int i = 0; i < 2; ++i) {
        VersionInfo version = builtInVersionInfo();
        if (i == 1) {
            version.productName = QStringLiteral("Keyhaven Pro");
            version.minor = 12;
        }
        splash[i] = splashPicture(QPixmap(QStringLiteral(":/images/splash.jpg")), version).toImage();
        banner[i] = aboutBanner(QPixmap(QStringLiteral(":/images/about-banner.jpg")), version).toImage();
    }
    QCOMPARE(splash[0].size(), QSize(476, 316));
    const QRect versionCorner(340, 280, 130, 30), nameArea(200, 95, 270, 50), shield(40, 70, 150, 160);
    QVERIFY(splash[0].copy(versionCorner) != splash[1].copy(versionCorner));
    QVERIFY(splash[0].copy(nameArea) != splash[1].copy(nameArea));
    QCOMPARE(splash[0].copy(shield), splash[1].copy(shield));
    QVERIFY(banner[0] != banner[1]);
    // The banner fills its picture box exactly.
    TestProgram p;
    p.startAndUnlock();
    p.mainWindow()->about();
    auto* box = p.program->windows.about->findChild<QLabel*>(QStringLiteral("banner"));
    QCOMPARE(banner[0].height(), box->height());
    QCOMPARE(box->pixmap().size(), QSize(497, 69));
}

void TestPresentation::aboutCopiesPlainLabelsOncePerLoad()
{
    TestProgram p;
    p.startAndUnlock();
    p.mainWindow()->about();
    AboutWindow* about = p.program->windows.about;
    const QList<SkinLabel*> copies = skinLabelsOf(about);
    QCOMPARE(copies.size(), 4);
    const QStringList plain = {QStringLiteral("lblVersionCaption"), QStringLiteral("lblCompanyCaption"),
                               QStringLiteral("lblWebsiteCaption")};
    for (int i = 0; i < 3; ++i) {
        const auto* original = about->findChild<QLabel*>(plain[i]);
        QCOMPARE(copies[i + 1]->text(), original->text());
        QCOMPARE(copies[i + 1]->geometry(), original->geometry());
        QCOMPARE(copies[i + 1]->font(), original->font());
        QVERIFY(copies[i + 1]->isVisible());
    }
    QVERIFY(!copies[0]->isVisible());
    p.mainWindow()->about(); // already open: brought to the front only
    QCOMPARE(p.program->windows.about, about);
    QCOMPARE(skinLabelsOf(about).size(), 4);
    // A new load makes its own three copies.
    about->close();
    p.mainWindow()->about();
    QCOMPARE(skinLabelsOf(p.program->windows.about).size(), 4);
}

QTEST_MAIN(TestPresentation)
#include "test_presentation.moc"
