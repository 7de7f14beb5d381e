// The entry editor and the Add and Edit commands, driven through the real windows.
#include "support/TestProgram.h"
#include "windows/editor/EntryEditor.h"
#include "windows/main/EntryListView.h"
#include "windows/main/MainWindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString kSaved = QStringLiteral("Added new entry.  Data saved.");

QLineEdit* field(EntryEditor* editor, const char* name)
{
    return editor->findChild<QLineEdit*>(QLatin1String(name));
}

void fill(EntryEditor* editor, const QString& user, const QString& pass, const QString& site)
{
    field(editor, "txtUsername")->setText(user);
    field(editor, "txtPassword")->setText(pass);
    field(editor, "txtWebsite")->setText(site);
}

void clickSave(EntryEditor* editor)
{
    QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
}

void clickMain(TestProgram& p, const char* name)
{
    QTest::mouseClick(p.mainWindow()->findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
}

QStringList five()
{
    return {QStringLiteral("u1|||p1|||l1"), QStringLiteral("u2|||p2|||l2"), QStringLiteral("u3|||p3|||l3"),
            QStringLiteral("u4|||p4|||l4"), QStringLiteral("u5|||p5|||l5")};
}

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void addSave_data();
    void addSave();
    void enterInLocationSavesOnly();
    void opensWithFocusOnCancelAndStaysSingle();
    void editChangesOnlyThatRow();
    void editCancelAndNoSelection();
    void addModeEditorTakesNewestRequest();
    void editFollowsTheEntry();
};

void TestEditor::addSave_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("site");
    QTest::addColumn<QString>("message"); // empty: saved
    QTest::newRow("one letter each, empty location") << "a"
                                                     << "b"
                                                     << ""
                                                     << "";
    QTest::newRow("blanks count as filled") << "   "
                                            << "b"
                                            << "  "
                                            << "";
    QTest::newRow("location may hold separators") << "a"
                                                  << "|b"
                                                  << "x|||y|"
                                                  << "";
    QTest::newRow("both empty: username first") << ""
                                                << ""
                                                << "x"
                                                << "You must enter a username";
    QTest::newRow("password empty") << "a"
                                    << ""
                                    << ""
                                    << "You must enter a password";
    QTest::newRow("separator in username") << "a|||b"
                                           << "p"
                                           << ""
                                           << "The username cannot be stored";
    QTest::newRow("password ends with bar") << "a"
                                            << "p|"
                                            << ""
                                            << "The password cannot be stored";
    QTest::newRow("location outside code page") << "a"
                                                << "p"
                                                << "\u4e2d"
                                                << "The website cannot be stored";
}

void TestEditor::addSave()
{
    QFETCH(QString, user);
    QFETCH(QString, pass);
    QFETCH(QString, site);
    QFETCH(QString, message);
    TestProgram p;
    p.startWithEntries({QStringLiteral("z|||z|||z")});
    const QByteArray before = p.vaultBytes();
    const QString statusBefore = p.status();
    clickMain(p, "cmdAdd");
    EntryEditor* editor = p.editor();
    QVERIFY(editor && editor->isVisible());
    QCOMPARE(editor->windowTitle(), QStringLiteral("Add an entry"));
    fill(editor, user, pass, site);
    clickSave(editor);
    if (message.isEmpty()) {
        QVERIFY(p.fake.messages.boxes.empty());
        QCOMPARE(p.vaultBytes(), savedVault({QStringLiteral("z|||z|||z"),
                                             user + QStringLiteral("|||") + pass + QStringLiteral("|||") + site}));
        QCOMPARE(p.status(), kSaved);
        QCOMPARE(p.listEntries().size(), size_t(2));
        QVERIFY(!p.editor());
    } else {
        QCOMPARE(p.fake.messages.boxes.size(), size_t(1));
        const auto& box = p.fake.messages.boxes[0];
        QVERIFY2(box.text.startsWith(message), qPrintable(box.text));
        QCOMPARE(box.title, QStringLiteral("Error"));
        QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
        QCOMPARE(box.icon, MessageBoxes::Icon::None);
        QCOMPARE(p.editor(), editor);
        QCOMPARE(field(editor, "txtUsername")->text(), user);
        QCOMPARE(field(editor, "txtWebsite")->text(), site);
        QCOMPARE(p.vaultBytes(), before);
        QCOMPARE(p.status(), statusBefore);
        QCOMPARE(p.listEntries().size(), size_t(1));
    }
}

void TestEditor::enterInLocationSavesOnly()
{
    TestProgram p;
    p.startWithEntries({});
    p.mainWindow()->addEntry();
    EntryEditor* editor = p.editor();
    fill(editor, QStringLiteral("a"), QString(), QString());
    QTest::keyClick(field(editor, "txtUsername"), Qt::Key_Return);
    QTest::keyClick(field(editor, "txtPassword"), Qt::Key_Return);
    QVERIFY(p.fake.messages.boxes.empty());
    QTest::keyClick(field(editor, "txtWebsite"), Qt::Key_Return);
    QCOMPARE(p.fake.messages.texts(), QStringList{QStringLiteral("You must enter a password")});
    field(editor, "txtPassword")->setText(QStringLiteral("b"));
    QTest::keyClick(field(editor, "txtWebsite"), Qt::Key_Return);
    QCOMPARE(p.status(), kSaved);
    QCOMPARE(p.listEntries().size(), size_t(1));
}

void TestEditor::opensWithFocusOnCancelAndStaysSingle()
{
    TestProgram p;
    p.startWithEntries(five());
    p.mainWindow()->addEntry();
    EntryEditor* editor = p.editor();
    QCOMPARE(editor->focusWidget(), editor->findChild<QPushButton*>(QStringLiteral("cmdCancel")));
    QCOMPARE(editor->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->text(), QStringLiteral("Cancel"));
    fill(editor, QStringLiteral("typed"), QString(), QString());
    p.mainWindow()->findChild<QAction*>(QStringLiteral("mnuDataItem_0"))->trigger(); // Add again
    QCOMPARE(p.editor(), editor);
    QCOMPARE(field(editor, "txtUsername")->text(), QStringLiteral("typed"));
    int editors = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        editors += qobject_cast<EntryEditor*>(w) != nullptr;
    QCOMPARE(editors, 1);
}

void TestEditor::editChangesOnlyThatRow()
{
    TestProgram p;
    p.startWithEntries(five());
    p.selectRow(2);
    p.mainWindow()->findChild<QAction*>(QStringLiteral("mnuDataItem_2"))->trigger(); // Edit
    EntryEditor* editor = p.editor();
    QCOMPARE(editor->windowTitle(), QStringLiteral("Edit an entry"));
    QCOMPARE(field(editor, "txtUsername")->text(), QStringLiteral("u3"));
    QCOMPARE(field(editor, "txtPassword")->text(), QStringLiteral("p3"));
    QCOMPARE(field(editor, "txtWebsite")->text(), QStringLiteral("l3"));
    field(editor, "txtPassword")->setText(QStringLiteral("new"));
    clickSave(editor);
    QStringList lines = five();
    lines[2] = QStringLiteral("u3|||new|||l3");
    QCOMPARE(p.vaultBytes(), savedVault(lines));
    QCOMPARE(p.status(), kSaved);
}

void TestEditor::editCancelAndNoSelection()
{
    TestProgram p;
    p.startWithEntries(five());
    const QByteArray before = p.vaultBytes();
    clickMain(p, "cmdEdit");
    QVERIFY(!p.editor());
    QCOMPARE(p.status(), QStringLiteral("You must first select an entry to edit."));
    p.selectRow(0);
    clickMain(p, "cmdEdit");
    fill(p.editor(), QStringLiteral("changed"), QStringLiteral("x"), QString());
    QTest::mouseClick(p.editor()->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    QVERIFY(!p.editor());
    QCOMPARE(p.status(), QStringLiteral("You must first select an entry to edit."));
    QCOMPARE(p.vaultBytes(), before);
    // Edit and save unchanged: the same bytes, written again.
    clickMain(p, "cmdEdit");
    clickSave(p.editor());
    QCOMPARE(p.status(), kSaved);
    QCOMPARE(p.vaultBytes(), before);
}

void TestEditor::addModeEditorTakesNewestRequest()
{
    TestProgram p;
    p.startWithEntries(five());
    p.mainWindow()->addEntry();
    EntryEditor* editor = p.editor();
    fill(editor, QStringLiteral("n"), QStringLiteral("m"), QStringLiteral("o"));
    p.selectRow(1);
    p.mainWindow()->editSelected();
    QCOMPARE(p.editor(), editor);
    QCOMPARE(editor->windowTitle(), QStringLiteral("Add an entry"));
    QCOMPARE(field(editor, "txtUsername")->text(), QStringLiteral("n"));
    clickSave(editor);
    QStringList lines = five();
    lines[1] = QStringLiteral("n|||m|||o");
    QCOMPARE(p.vaultBytes(), savedVault(lines));
}

void TestEditor::editFollowsTheEntry()
{
    // Sorted meanwhile: the same entry changes, wherever it stands now.
    {
        TestProgram p;
        p.startWithEntries({QStringLiteral("b|||1|||"), QStringLiteral("a|||2|||"), QStringLiteral("c|||3|||")});
        p.selectRow(0);
        p.mainWindow()->editSelected();
        p.mainWindow()->list().columnClicked(1); // sorts ascending by username: a, b, c
        field(p.editor(), "txtPassword")->setText(QStringLiteral("9"));
        clickSave(p.editor());
        QCOMPARE(p.vaultBytes(),
                 savedVault({QStringLiteral("a|||2|||"), QStringLiteral("b|||9|||"), QStringLiteral("c|||3|||")}));
    }
    // Deleted meanwhile: the typed values are added, nothing else is overwritten.
    TestProgram p;
    p.startWithEntries({QStringLiteral("a|||1|||"), QStringLiteral("b|||2|||")});
    p.selectRow(0);
    p.mainWindow()->editSelected();
    p.fake.messages.answers = {MessageBoxes::Answer::Ok};
    p.mainWindow()->deleteSelected();
    clickSave(p.editor());
    QCOMPARE(p.vaultBytes(), savedVault({QStringLiteral("b|||2|||"), QStringLiteral("a|||1|||")}));
}

QTEST_MAIN(TestEditor)
#include "test_editor.moc"
