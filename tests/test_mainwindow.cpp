// The main window: captions, list columns, loading, status line, saves that fail, shutdown.
#include "core/platform/Twips.h"
#include "support/TestProgram.h"
#include "windows/editor/EntryEditor.h"
#include "windows/main/EntryListView.h"
#include "windows/main/MainWindow.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void captionsAndColumns();
    void noAccessOrShortcutKeys();
    void loadsEntriesAndCountsDamagedLines();
    void failedSaveNeverClaimsSuccess();
    void closingEndsProgramWithoutSaving();
    void exitMenuClosesLikeCloseBox();
};

void TestMainWindow::captionsAndColumns()
{
    TestProgram p;
    p.startAndUnlock();
    MainWindow* w = p.mainWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("Keyhaven by Orrindale"));
    QCOMPARE(w->findChild<QPushButton*>(QStringLiteral("cmdWebsite"))->text(),
             QStringLiteral("Visit orrindale.example"));
    QCOMPARE(MainWindow::columnWidthsTwips(), (std::array<int, 3>{2345, 2375, 4095}));
    QHeaderView* header = w->list().header();
    QCOMPARE(header->count(), 3);
    const QStringList titles = {QStringLiteral("Username"), QStringLiteral("Password"),
                                QStringLiteral("Website/Location")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(w->list().model()->headerData(i, Qt::Horizontal).toString(), titles[i]);
        QCOMPARE(header->sectionSize(i), twipsToPixels(MainWindow::columnWidthsTwips()[i]));
        // Each copy button stands above the column it copies.
        auto* copy = w->findChild<QPushButton*>(QStringLiteral("cmdCopy_%1").arg(i));
        const int columnLeft = w->list().x() + header->sectionPosition(i);
        QVERIFY2(qAbs(copy->x() - columnLeft) <= 6, qPrintable(QStringLiteral("column %1").arg(i)));
    }
    QCOMPARE(w->centralWidget()->size(), twipsSize(9015, 6555));
    QCOMPARE(p.status(), QStringLiteral("Password created successfully"));
}

void TestMainWindow::noAccessOrShortcutKeys()
{
    TestProgram p;
    p.startAndUnlock();
    for (QAction* a : p.mainWindow()->findChildren<QAction*>()) {
        QVERIFY(!a->text().contains(QLatin1Char('&')));
        QVERIFY(a->shortcut().isEmpty());
    }
    for (QPushButton* b : p.mainWindow()->findChildren<QPushButton*>())
        QVERIFY(!b->text().contains(QLatin1Char('&')));
    QStringList menus;
    for (QAction* a : p.mainWindow()->menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{QStringLiteral("File"), QStringLiteral("Data"), QStringLiteral("Copy"),
                                 QStringLiteral("Help"), QStringLiteral("About")}));
}

void TestMainWindow::loadsEntriesAndCountsDamagedLines()
{
    {
        TestProgram p;
        // A raw single blank between entry lines is skipped like an empty line.
        p.writeVault(vaultFile({QStringLiteral("master"), QStringLiteral("a|||b|||c")}) + " \r\n" +
                     vaultFile({QStringLiteral("d|||e|||"), QStringLiteral("g|||h|||i|||j"), QString()}));
        p.startAndUnlock();
        QCOMPARE(p.status(), QStringLiteral("Loaded 3 entries"));
        QCOMPARE(p.listEntries()[2].location, QStringLiteral("i|||j"));
        QVERIFY(p.mainWindow()->isVisible());
    }
    TestProgram p;
    p.writeVault(vaultFile({QStringLiteral("master"), QStringLiteral("only a name"), QStringLiteral("u|||p")}));
    p.startAndUnlock();
    QVERIFY2(p.status().startsWith(QLatin1String("Loaded 2 entries")), qPrintable(p.status()));
    QVERIFY(p.status().contains(QLatin1String("2 damaged")));
    QCOMPARE(p.listEntries()[0].username, QStringLiteral("only a name"));
    QCOMPARE(p.listEntries()[1].password, QStringLiteral("p"));
}

void TestMainWindow::failedSaveNeverClaimsSuccess()
{
    TestProgram p;
    const QByteArray file = vaultFile({QStringLiteral("master"), QStringLiteral("a|||b|||c"), QString()});
    p.writeVault(file);
    p.startAndUnlock();
    // A folder where the file was: the save cannot replace it.
    QVERIFY(QFile::remove(p.vaultPath()));
    QVERIFY(QDir(p.folder()).mkdir(QStringLiteral("data.enc")));
    p.selectRow(0);
    p.fake.messages.answers = {MessageBoxes::Answer::Ok};
    p.mainWindow()->deleteSelected();
    QCOMPARE(p.fake.messages.boxes.size(), size_t(2));
    QVERIFY(p.fake.messages.boxes[1].text.contains(p.vaultPath()));
    QVERIFY2(p.status().startsWith(QLatin1String("Save failed")), qPrintable(p.status()));
    QVERIFY(!p.status().contains(QLatin1String("data saved")));
    QVERIFY(p.listEntries().empty()); // kept in memory for the next save
    // The next save that can write, writes the change.
    QVERIFY(QDir(p.folder()).rmdir(QStringLiteral("data.enc")));
    p.mainWindow()->addEntry();
    p.editor()->findChild<QLineEdit*>(QStringLiteral("txtUsername"))->setText(QStringLiteral("x"));
    p.editor()->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("y"));
    p.editor()->save();
    QCOMPARE(p.vaultBytes(), vaultFile({QStringLiteral("master"), QStringLiteral("x|||y|||"), QString()}));
    QCOMPARE(p.status(), QStringLiteral("Added new entry.  Data saved."));
}

void TestMainWindow::closingEndsProgramWithoutSaving()
{
    TestProgram p;
    const QByteArray file = vaultFile({QStringLiteral("master"), QStringLiteral("a|||b|||c"), QString()});
    p.writeVault(file);
    p.startAndUnlock();
    p.mainWindow()->addEntry();
    EntryEditor* editor = p.editor();
    editor->findChild<QLineEdit*>(QStringLiteral("txtUsername"))->setText(QStringLiteral("typed"));
    editor->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("unsaved"));
    p.mainWindow()->close();
    QVERIFY(!p.editor());
    QCOMPARE(p.fake.programEnd.ends, 1);
    QCOMPARE(p.vaultBytes(), file);
    QVERIFY(!p.ctx->mainWindowClosed);
}

void TestMainWindow::exitMenuClosesLikeCloseBox()
{
    TestProgram p;
    p.startAndUnlock();
    p.mainWindow()->findChild<QAction*>(QStringLiteral("mnuFileItem_0"))->trigger();
    QCOMPARE(p.fake.programEnd.ends, 1);
    QVERIFY(!p.mainWindow());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
