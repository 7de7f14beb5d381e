// The master password gate, driven through its real window.
#include "core/platform/Twips.h"
#include "core/vault/SealedFormat.h"
#include "support/TestProgram.h"
#include "windows/editor/EntryEditor.h"
#include "windows/gate/PasswordGate.h"
#include "windows/main/MainWindow.h"
#include "windows/platform/Topmost.h"

#include <QWindow>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using Answer = MessageBoxes::Answer;

QLineEdit* box(PasswordGate* gate, const char* name)
{
    return gate->findChild<QLineEdit*>(QLatin1String(name));
}

void type(PasswordGate* gate, const QString& first, const QString& second = {})
{
    box(gate, "txtPassword")->setText(first);
    box(gate, "txtRetype")->setText(second);
}

void clickOk(PasswordGate* gate)
{
    QTest::mouseClick(gate->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
}

const QString kWelcome = QStringLiteral(
    "Because this is the first time you have used Keyhaven, you will need to create a master password.  This "
    "password will be required to open the program from now on, and can not be reset.\r\n\r\nPlease enter a "
    "password that you will not forget.");

} // namespace

class TestGate : public QObject {
    Q_OBJECT
private slots:
    void modeFollowsFirstLine_data();
    void modeFollowsFirstLine();
    void createRules_data();
    void createRules();
    void createAcceptsAndWritesPasswordLine();
    void createKeepsEntriesOfAFileWithoutPassword_data();
    void createKeepsEntriesOfAFileWithoutPassword();
    void enterInEitherBoxIsOk();
    void messagesShownWhileNotTopmost();
    void verifyTries_data();
    void verifyTries();
    void closeBoxEndsProgram_data();
    void closeBoxEndsProgram();
    void mainWindowStaysHiddenWhileTheGateIsOpen();
    void unreadableFileEndsWithoutWriting();
    void sealedFileOpensWithItsPasswordAndStaysSealed();
    void damagedSealedFileIsRefusedUnchanged_data();
    void damagedSealedFileIsRefusedUnchanged();
};

void TestGate::modeFollowsFirstLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("createMode");
    QTest::newRow("missing file") << QByteArray() << true;
    QTest::newRow("zero bytes") << QByteArray("") << true;
    QTest::newRow("only CR LF") << QByteArray("\r\n") << true;
    QTest::newRow("password line") << vaultFile({QStringLiteral("abc")}) << false;
}

void TestGate::modeFollowsFirstLine()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, createMode);
    TestProgram p;
    if (!file.isNull())
        p.writeVault(file);
    p.start();
    PasswordGate* gate = p.gate();
    QVERIFY(gate);
    QVERIFY(gate->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!p.mainWindow()->isVisible(), 500);
    QVERIFY(isTopmost(gate));
    QCOMPARE(gate->windowTitle(), QStringLiteral("Password Required"));
    QCOMPARE(p.ctx->vault.needsNewPassword(), createMode);
    const auto* label = gate->findChild<QLabel*>(QStringLiteral("lblPrompt"));
    QCOMPARE(label->text(), createMode ? kWelcome : QStringLiteral("Please enter your password"));
    QCOMPARE(box(gate, "txtRetype")->isVisible(), createMode);
    // Layout of the mode, in twips.
    const int okTop = createMode ? 2450 : 780;
    QCOMPARE(gate->findChild<QPushButton*>(QStringLiteral("cmdOK"))->y(), twipsToPixels(okTop));
    QCOMPARE(gate->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->y(), twipsToPixels(okTop));
    QCOMPARE(box(gate, "txtPassword")->y(), twipsToPixels(createMode ? 1700 : 360));
    QCOMPARE(gate->height(), twipsToPixels((createMode ? 3505 : 1845) - 405));
    QCOMPARE(QApplication::focusWidget() == gate->findChild<QPushButton*>(QStringLiteral("cmdOK")) ||
                 !gate->isActiveWindow(),
             true);
    if (file.isNull())
        QCOMPARE(p.vaultBytes(), QByteArray("\r\n"));
}

void TestGate::createRules_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("keepsText");
    QTest::newRow("three characters") << QStringLiteral("abc") << QStringLiteral("abc")
                                      << QStringLiteral("You must enter a password that is at least 4 characters long")
                                      << true;
    QTest::newRow("case differs") << QStringLiteral("Abcd") << QStringLiteral("abcd")
                                  << QStringLiteral("Your passwords did not match.  Please try again.") << false;
    QTest::newRow("short second box") << QStringLiteral("abcde") << QStringLiteral("xy")
                                      << QStringLiteral("Your passwords did not match.  Please try again.") << false;
    QTest::newRow("trailing blank differs")
        << QStringLiteral("abcd ") << QStringLiteral("abcd")
        << QStringLiteral("Your passwords did not match.  Please try again.") << false;
    QTest::newRow("not storable") << QStringLiteral("ab\u4e2dcd") << QStringLiteral("ab\u4e2dcd")
                                  << QStringLiteral("This password cannot be used") << false;
    QTest::newRow("enciphers to CR") << QStringLiteral("ab\u008dcd") << QStringLiteral("ab\u008dcd")
                                     << QStringLiteral("This password cannot be used") << false;
}

void TestGate::createRules()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, message);
    QFETCH(bool, keepsText);
    TestProgram p;
    p.start();
    PasswordGate* gate = p.gate();
    type(gate, first, second);
    clickOk(gate);
    QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
    QVERIFY2(p.fake.messages.boxes[0].text.startsWith(message), qPrintable(p.fake.messages.boxes[0].text));
    QCOMPARE(p.fake.messages.boxes[0].title, QStringLiteral("Keyhaven"));
    QCOMPARE(p.fake.messages.boxes[0].icon, MessageBoxes::Icon::None);
    QCOMPARE(box(gate, "txtPassword")->text(), keepsText ? first : QString());
    QCOMPARE(box(gate, "txtRetype")->text(), keepsText ? second : QString());
    QCOMPARE(p.gate(), gate);
    QVERIFY(!p.ctx->vault.unlocked());
    QCOMPARE(p.vaultBytes(), QByteArray("\r\n"));
    QCOMPARE(p.fake.programEnd.ends, 0);
}

void TestGate::createAcceptsAndWritesPasswordLine()
{
    TestProgram p;
    p.start();
    type(p.gate(), QStringLiteral("    "), QStringLiteral("    "));
    // Enter: the gate closes while its own text box is still handling the key.
    QTest::keyClick(box(p.gate(), "txtRetype"), Qt::Key_Return);
    QCOMPARE(p.vaultBytes(), QByteArray::fromHex("A0A0A0A00D0A"));
    QVERIFY(p.ctx->vault.unlocked()); // under the password in the file's first line
    QCOMPARE(p.status(), QStringLiteral("Password created successfully"));
    QVERIFY(p.mainWindow()->isVisible());
    QVERIFY(p.listEntries().empty());
    QTRY_VERIFY(!p.gate());
    QVERIFY(p.fake.messages.boxes.empty());
    QCOMPARE(p.fake.programEnd.ends, 0);
}

void TestGate::createKeepsEntriesOfAFileWithoutPassword_data()
{
    QTest::addColumn<QStringList>("entryLines");
    QTest::addColumn<QStringList>("savedLines"); // the entry lines the new file holds
    QTest::addColumn<QString>("status");
    const QString created = QStringLiteral("Password created successfully");
    const QStringList two = {QStringLiteral("a|||b|||c"), QStringLiteral("d|||e|||")};
    QTest::newRow("two entries") << two << two
                                 << created + QStringLiteral("; the 2 entries already in the data file were kept");
    QTest::newRow("one damaged") << QStringList{QStringLiteral("only a name")}
                                 << QStringList{QStringLiteral("only a name||||||")}
                                 << created +
                                        QStringLiteral("; the entry already in the data file was kept"
                                                       "; 1 damaged line had missing fields, which were left empty");
}

void TestGate::createKeepsEntriesOfAFileWithoutPassword()
{
    QFETCH(QStringList, entryLines);
    QFETCH(QStringList, savedLines);
    QFETCH(QString, status);
    // The first line lost, the entries still there.
    TestProgram p;
    p.writeVault(vaultFile(QStringList{QString()} + entryLines + QStringList{QString()}));
    p.start();
    QVERIFY(p.ctx->vault.needsNewPassword());
    type(p.gate(), QStringLiteral("fresh"), QStringLiteral("fresh"));
    clickOk(p.gate());
    QCOMPARE(p.vaultBytes(), vaultFile(QStringList{QStringLiteral("fresh")} + savedLines + QStringList{QString()}));
    QCOMPARE(p.listEntries().size(), size_t(entryLines.size()));
    QCOMPARE(p.status(), status);
    // Read back, the file gives the same entries under the new password.
    TestProgram q;
    q.writeVault(p.vaultBytes());
    q.startAndUnlock(QStringLiteral("fresh"));
    QVERIFY(q.listEntries() == p.listEntries());
}

void TestGate::enterInEitherBoxIsOk()
{
    for (const char* boxName : {"txtPassword", "txtRetype"}) {
        TestProgram p;
        p.start();
        type(p.gate(), QStringLiteral("abcd"));
        QTest::keyClick(box(p.gate(), boxName), Qt::Key_Return);
        QCOMPARE(p.fake.messages.texts(),
                 QStringList{QStringLiteral("Your passwords did not match.  Please try again.")});
    }
    TestProgram p;
    p.writeVault(vaultFile({QStringLiteral("abcd"), QStringLiteral("u|||p|||l")}));
    p.start();
    type(p.gate(), QStringLiteral("abcd"));
    QTest::keyClick(box(p.gate(), "txtPassword"), Qt::Key_Enter);
    QCOMPARE(p.status(), QStringLiteral("Loaded 1 entries"));
}

void TestGate::messagesShownWhileNotTopmost()
{
    TestProgram p;
    p.start();
    PasswordGate* gate = p.gate();
    // The same native window, in the same place, before, during and after the box.
    const QWindow* native = gate->windowHandle();
    const WId id = gate->winId();
    const QRect place = gate->geometry();
    bool topmostDuringBox = true;
    bool sameWindowDuringBox = false;
    p.fake.messages.onShow = [&](const MessageBoxes::Box& b) {
        topmostDuringBox = isTopmost(gate);
        sameWindowDuringBox = gate->windowHandle() == native && gate->winId() == id && gate->geometry() == place &&
                              gate->isVisible() && b.owner == gate;
    };
    type(gate, QStringLiteral("ab"), QStringLiteral("ab"));
    clickOk(gate);
    QVERIFY(!topmostDuringBox);
    QVERIFY(sameWindowDuringBox);
    QVERIFY(isTopmost(gate));
    QVERIFY(gate->isVisible());
    QCOMPARE(gate->windowHandle(), native);
    QCOMPARE(gate->winId(), id);
    QCOMPARE(gate->geometry(), place);
    QVERIFY(gate->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint)); // on the native window too
    // Only a close button where the platform draws the title bar.
    QVERIFY(!gate->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!gate->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(gate->windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

void TestGate::verifyTries_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("ends");
    const QString wrong = QStringLiteral("Sorry, the password you entered was not correct.");
    const QString only3 = QStringLiteral("Only 3 tries allowed.  Click Ok to close.");
    QTest::newRow("two wrong then right")
        << QStringList{QStringLiteral("x"), QStringLiteral("MASTER"), QStringLiteral("master")}
        << QList<Answer>{Answer::Retry, Answer::Retry} << QStringList{wrong, wrong} << false;
    QTest::newRow("three wrong") << QStringList{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("master ")}
                                 << QList<Answer>{Answer::Retry, Answer::Retry, Answer::Retry}
                                 << QStringList{wrong, wrong, wrong, only3} << true;
    QTest::newRow("cancel") << QStringList{QStringLiteral("x")} << QList<Answer>{Answer::Cancel} << QStringList{wrong}
                            << true;
    QTest::newRow("box closed") << QStringList{QStringLiteral("x")} << QList<Answer>{Answer::Closed}
                                << QStringList{wrong} << true;
}

void TestGate::verifyTries()
{
    QFETCH(QStringList, typed);
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, messages);
    QFETCH(bool, ends);
    TestProgram p;
    const QByteArray file = vaultFile({QStringLiteral("master"), QStringLiteral("a|||b|||c"),
                                       QStringLiteral("d|||e|||f"), QString(), QStringLiteral("g|||h|||i"), QString()});
    p.writeVault(file);
    p.start();
    PasswordGate* gate = p.gate();
    p.fake.messages.answers.assign(answers.begin(), answers.end());
    for (const QString& t : typed) {
        type(gate, t);
        clickOk(gate);
        if (p.fake.programEnd.ends)
            break;
        if (!p.ctx->vault.unlocked())
            QVERIFY(box(gate, "txtPassword")->text().isEmpty());
    }
    QCOMPARE(p.fake.messages.texts(), messages);
    for (const auto& b : p.fake.messages.boxes) {
        if (b.text.startsWith(QLatin1String("Sorry"))) {
            QCOMPARE(b.title, QStringLiteral("Incorrect Password"));
            QCOMPARE(b.buttons, MessageBoxes::Buttons::RetryCancel);
        } else {
            QCOMPARE(b.title, QStringLiteral("Keyhaven"));
            QCOMPARE(b.buttons, MessageBoxes::Buttons::Ok);
        }
        QCOMPARE(b.icon, MessageBoxes::Icon::None);
    }
    QCOMPARE(p.fake.programEnd.ends, ends ? 1 : 0);
    if (ends) {
        QVERIFY(p.listEntries().empty());
    } else {
        QCOMPARE(p.status(), QStringLiteral("Loaded 3 entries"));
        QCOMPARE(p.listEntries().size(), size_t(3));
        QVERIFY(p.mainWindow()->isVisible());
    }
    QCOMPARE(p.vaultBytes(), file);
}

void TestGate::closeBoxEndsProgram_data()
{
    QTest::addColumn<bool>("createMode");
    QTest::newRow("create") << true;
    QTest::newRow("verify") << false;
}

void TestGate::closeBoxEndsProgram()
{
    QFETCH(bool, createMode);
    TestProgram p;
    if (!createMode)
        p.writeVault(vaultFile({QStringLiteral("master")}));
    p.start();
    p.gate()->close();
    QCOMPARE(p.fake.programEnd.ends, 1);
    QVERIFY(!p.gate());
}

void TestGate::mainWindowStaysHiddenWhileTheGateIsOpen()
{
    TestProgram p;
    p.start();
    p.mainWindow()->show(); // as the start-up does right after the main window's load
    QTRY_VERIFY_WITH_TIMEOUT(!p.mainWindow()->isVisible(), 500);
}

void TestGate::unreadableFileEndsWithoutWriting()
{
    TestProgram p;
    QVERIFY(QDir(p.folder()).mkdir(QStringLiteral("data.enc")));
    p.start();
    QCOMPARE(p.fake.programEnd.ends, 1);
    QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
    QVERIFY(p.fake.messages.boxes[0].text.contains(p.vaultPath()));
    QVERIFY(p.fake.messages.boxes[0].text.startsWith(QStringLiteral("The data file cannot be created")));
    QVERIFY(!p.gate());
    QVERIFY(QFileInfo(p.vaultPath()).isDir());
}

void TestGate::sealedFileOpensWithItsPasswordAndStaysSealed()
{
    TestProgram p;
    const sealedformat::KeyPtr key =
        sealedformat::newKey(QStringLiteral("master"), sealedformat::minimumParams()).value;
    p.writeVault(sealedformat::seal(savedVault({QStringLiteral("ann|||pw1|||mail.example.com")}), *key));
    p.start();
    QVERIFY(!p.ctx->vault.needsNewPassword()); // the gate asks for the password, as for any file
    type(p.gate(), QStringLiteral("wrong"));
    p.fake.messages.answers = {MessageBoxes::Answer::Retry};
    clickOk(p.gate());
    QCOMPARE(p.fake.messages.texts(), QStringList{QStringLiteral("Sorry, the password you entered was not correct.")});
    type(p.gate(), QStringLiteral("master"));
    clickOk(p.gate());
    QCOMPARE(p.status(), QStringLiteral("Loaded 1 entries"));
    p.mainWindow()->addEntry();
    p.editor()->findChild<QLineEdit*>(QStringLiteral("txtUsername"))->setText(QStringLiteral("bob"));
    p.editor()->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("pw2"));
    QTest::mouseClick(p.editor()->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
    QCOMPARE(p.status(), QStringLiteral("Added new entry.  Data saved."));
    // Still sealed, under the same key, and holding both.
    const sealedformat::Opened opened = sealedformat::openWithKey(p.vaultBytes(), key);
    QCOMPARE(opened.status, sealedformat::Status::Opened);
    QCOMPARE(opened.classic,
             savedVault({QStringLiteral("ann|||pw1|||mail.example.com"), QStringLiteral("bob|||pw2|||")}));
    QVERIFY(!p.vaultBytes().contains("\xE1\xEE\xEE")); // "ann" as the classic file has it
}

void TestGate::damagedSealedFileIsRefusedUnchanged_data()
{
    QTest::addColumn<int>("flip"); // the byte with a bit flipped
    QTest::addColumn<QString>("reason");
    QTest::newRow("header") << 30 << "the sealed file's header is damaged";
    QTest::newRow("contents") << 110 << "the sealed file is damaged: its contents do not match its seal";
}

void TestGate::damagedSealedFileIsRefusedUnchanged()
{
    QFETCH(int, flip);
    QFETCH(QString, reason);
    TestProgram p;
    const sealedformat::KeyPtr key =
        sealedformat::newKey(QStringLiteral("master"), sealedformat::minimumParams()).value;
    QByteArray file = sealedformat::seal(savedVault({QStringLiteral("ann|||pw1|||mail.example.com")}), *key);
    file[flip] = char(file[flip] ^ 0x04);
    p.writeVault(file);
    p.start();
    if (p.gate()) { // the header was whole: the damage shows once the password opens it
        type(p.gate(), QStringLiteral("master"));
        clickOk(p.gate());
    }
    QCOMPARE(p.fake.programEnd.ends, 1);
    QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
    const QString text = p.fake.messages.boxes[0].text;
    QVERIFY2(text.startsWith(QStringLiteral("The data file cannot be read")) && text.contains(reason) &&
                 text.contains(p.vaultPath()),
             qPrintable(text));
    QCOMPARE(p.vaultBytes(), file);
}

QTEST_MAIN(TestGate)
#include "test_gate.moc"
