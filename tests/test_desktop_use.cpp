// What a person does: a screen reader reads each box by its label and each text once; pasted
// line breaks stay out of one-line boxes; a saved entry is in view.
#include "support/TestProgram.h"
#include "windows/editor/EntryEditor.h"
#include "windows/main/EntryListView.h"
#include "windows/main/MainWindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

namespace {

struct Heard {
    QAccessible::Role role;
    QString name;
};

// What a screen reader is shown below an object: every node that is not invisible.
void listen(QAccessibleInterface* node, QList<Heard>& heard)
{
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child || child->state().invisible)
            continue;
        heard.append({child->role(), child->text(QAccessible::Name)});
        listen(child, heard);
    }
}

} // namespace

class TestDesktopUse : public QObject {
    Q_OBJECT
private slots:
    void screenReadersHearEachLabelOnce_data();
    void screenReadersHearEachLabelOnce();
    void everyMenuItemIsReadByItsCaption();
    void messageBoxesBelongToTheirWindow_data();
    void messageBoxesBelongToTheirWindow();
    void pastedLineBreaksStayOut_data();
    void pastedLineBreaksStayOut();
    void entriesWithLineBreaksSaveUnchanged();
    void savedEntryIsInView();
};

void TestDesktopUse::screenReadersHearEachLabelOnce_data()
{
    TestProgram::addWindowRows();
}

void TestDesktopUse::screenReadersHearEachLabelOnce()
{
    QFETCH(QString, window);
    const QHash<QString, QString> boxNames = {{QStringLiteral("txtPassword"), QStringLiteral("Password")},
                                              {QStringLiteral("txtRetype"), QStringLiteral("Retype Password")},
                                              {QStringLiteral("txtUsername"), QStringLiteral("Username")},
                                              {QStringLiteral("txtPassword"), QStringLiteral("Password")},
                                              {QStringLiteral("txtWebsite"), QStringLiteral("Website")},
                                              {QStringLiteral("txtAddress"), QStringLiteral("URL")},
                                              {QStringLiteral("entryList"), QStringLiteral("Entries")}};
    TestProgram p;
    QWidget* w = p.openWindow(window);
    QVERIFY(w);
    QAccessibleInterface* top = QAccessible::queryAccessibleInterface(w);
    QCOMPARE(top->role(), QAccessible::Window);
    QCOMPARE(top->text(QAccessible::Name), w->windowTitle());

    for (QWidget* control : w->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(w))
            continue;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
        if (qobject_cast<QLineEdit*>(control) || control->objectName() == QLatin1String("entryList"))
            QCOMPARE(iface->text(QAccessible::Name), boxNames.value(control->objectName(), QStringLiteral("?")));
        else if (auto* button = qobject_cast<QPushButton*>(control))
            QCOMPARE(iface->text(QAccessible::Name), button->text());
    }

    QList<Heard> heard;
    listen(top, heard);
    QStringList texts;
    for (const Heard& h : heard) {
        if (h.role == QAccessible::StaticText && !h.name.isEmpty())
            texts.append(h.name);
    }
    QVERIFY2(!texts.contains(QStringLiteral("Windowed Label")) && !texts.contains(QStringLiteral("SkinLabel1")),
             qPrintable(texts.join(QStringLiteral(" | "))));
    // Every text the window shows in a label is heard, and once only.
    for (QLabel* label : w->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(w) || label->text().isEmpty() || label->parentWidget()->inherits("QStatusBar"))
            continue;
        QVERIFY2(
            texts.count(label->text()) == 1,
            qPrintable(QStringLiteral("\"%1\" heard %2 times").arg(label->text()).arg(texts.count(label->text()))));
    }
}

void TestDesktopUse::everyMenuItemIsReadByItsCaption()
{
    TestProgram p;
    QWidget* main = p.openWindow(QStringLiteral("main"));
    auto* bar = main->findChild<QMenuBar*>();
    QVERIFY(bar);
    // The bar and its menus as a screen reader finds them from the window.
    QList<Heard> heard;
    listen(QAccessible::queryAccessibleInterface(main), heard);
    QStringList barItems;
    for (const Heard& h : heard) {
        if (h.role == QAccessible::MenuItem)
            barItems.append(h.name);
    }
    int items = 0;
    for (QAction* menuAction : bar->actions()) {
        QVERIFY2(barItems.contains(menuAction->text()), qPrintable(barItems.join(QStringLiteral(" | "))));
        QMenu* menu = menuAction->menu();
        QVERIFY(menu);
        menu->popup(main->mapToGlobal(QPoint(0, 0))); // as when the user opens it
        QAccessibleInterface* popup = QAccessible::queryAccessibleInterface(menu);
        QCOMPARE(popup->role(), QAccessible::PopupMenu);
        QStringList read;
        for (int i = 0; i < popup->childCount(); ++i) {
            QCOMPARE(popup->child(i)->role(), QAccessible::MenuItem);
            read.append(popup->child(i)->text(QAccessible::Name));
        }
        QStringList captions;
        for (QAction* item : menu->actions())
            captions.append(item->text());
        QCOMPARE(read, captions);
        items += int(read.size());
        menu->hide();
    }
    QCOMPARE(items, 10); // Exit; four data items; three copy items; View Help; About this software
}

void TestDesktopUse::messageBoxesBelongToTheirWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("action");
    QTest::newRow("gate, password too short") << "gate create"
                                              << "ok";
    QTest::newRow("gate, wrong password") << "gate verify"
                                          << "ok";
    QTest::newRow("editor, no username") << "editor"
                                         << "save";
    QTest::newRow("main window, delete") << "main"
                                         << "delete";
    QTest::newRow("main window, save failed") << "main"
                                              << "add to a read-only file";
}

void TestDesktopUse::messageBoxesBelongToTheirWindow()
{
    QFETCH(QString, window);
    QFETCH(QString, action);
    TestProgram p;
    QWidget* w = p.openWindow(window);
    QVERIFY(w);
    if (action == QLatin1String("ok")) {
        w->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("ab"));
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    } else if (action == QLatin1String("save")) {
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
    } else if (action == QLatin1String("delete")) {
        p.selectRow(0);
        p.mainWindow()->deleteSelected();
    } else {
        QVERIFY(QFile::setPermissions(p.vaultPath(), QFile::ReadOwner));
        p.ctx->vault.add({QStringLiteral("x"), QStringLiteral("y"), {}});
        p.mainWindow()->reportSave(p.ctx->vault.save());
    }
    QVERIFY(!p.fake.messages.boxes.empty());
    for (const MessageBoxes::Box& b : p.fake.messages.boxes)
        QCOMPARE(b.owner, w);
}

void TestDesktopUse::pastedLineBreaksStayOut_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("held");   // put there by the program
    QTest::addColumn<QString>("pasted"); // at the end
    QTest::addColumn<QString>("after");
    QTest::newRow("gate, trailing line end") << "gate create"
                                             << "txtPassword" << QString() << "secret\n"
                                             << "secret";
    QTest::newRow("gate retype, CR LF inside") << "gate create"
                                               << "txtRetype" << QString() << "sec\r\nret"
                                               << "secret";
    QTest::newRow("username") << "editor"
                              << "txtUsername" << QString() << "\nalice\n"
                              << "alice";
    QTest::newRow("password, a line break already held stays") << "editor"
                                                               << "txtPassword"
                                                               << "two\nlines"
                                                               << " more\u2028"
                                                               << "two\nlines more";
    QTest::newRow("website") << "editor"
                             << "txtWebsite"
                             << "www."
                             << "example.com\r"
                             << "www.example.com";
}

void TestDesktopUse::pastedLineBreaksStayOut()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, held);
    QFETCH(QString, pasted);
    QFETCH(QString, after);
    TestProgram p;
    QWidget* w = p.openWindow(window);
    auto* edit = w->findChild<QLineEdit*>(box);
    QVERIFY(edit);
    edit->setText(held);
    edit->setFocus();
    edit->end(false);
    QGuiApplication::clipboard()->setText(pasted);
    QTest::keySequence(edit, QKeySequence::Paste);
    QCOMPARE(edit->text(), after);
    QCOMPARE(edit->cursorPosition(), int(after.size()));
    // Typing goes on where the paste ended.
    QTest::keyClicks(edit, QStringLiteral("!"));
    QCOMPARE(edit->text(), after + QLatin1Char('!'));
}

void TestDesktopUse::entriesWithLineBreaksSaveUnchanged()
{
    TestProgram p;
    const QStringList lines = {QStringLiteral("first\nuser|||pass\nword|||www.example.com")};
    p.startWithEntries(lines);
    QCOMPARE(p.listEntries().front().password, QStringLiteral("pass\nword"));
    p.selectRow(0);
    p.mainWindow()->editSelected();
    QTest::mouseClick(p.editor()->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
    QCOMPARE(p.status(), QStringLiteral("Added new entry.  Data saved."));
    QCOMPARE(p.vaultBytes(), savedVault(lines));
}

void TestDesktopUse::savedEntryIsInView()
{
    QStringList many;
    for (int i = 0; i < 5000; ++i)
        many.append(QStringLiteral("user%1|||pw|||site%1").arg(i));
    TestProgram p;
    p.startWithEntries(many);
    EntryListView& list = p.mainWindow()->list();
    for (const bool edit : {false, true}) {
        list.scrollToTop();
        if (edit) {
            p.selectRow(4000);
            list.scrollToTop();
            p.mainWindow()->editSelected();
        } else {
            p.mainWindow()->addEntry();
        }
        EntryEditor* editor = p.editor();
        editor->findChild<QLineEdit*>(QStringLiteral("txtUsername"))->setText(QStringLiteral("zed"));
        editor->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("pw"));
        QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
        const int row = edit ? 4000 : 5000;
        QCOMPARE(list.entries().at(row).username, QStringLiteral("zed"));
        const QRect shown = list.visualRect(list.entries().index(row, 0));
        QVERIFY2(list.viewport()->rect().contains(shown),
                 qPrintable(edit ? QStringLiteral("edit") : QStringLiteral("add")));
    }
}

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestDesktopUse test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_desktop_use.moc"
