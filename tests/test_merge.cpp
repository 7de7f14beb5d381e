// Merging with a data file changed elsewhere, as pure functions: this run's changes replayed on
// the file as it is now, and whether a file can take them at all.
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultMerge.h"
#include "support/LetteredEntries.h"
#include "support/VaultBytes.h"

#include <QTest>

namespace {

std::vector<vaultmerge::Change> changesFor(const QString& command)
{
    using vaultmerge::Change;
    if (command == QLatin1String("add D"))
        return {Change::add(lettered(u'D'))};
    if (command == QLatin1String("edit B to E"))
        return {Change::edit(lettered(u'B'), lettered(u'E'))};
    if (command == QLatin1String("delete B"))
        return {Change::remove(lettered(u'B'))};
    if (command == QLatin1String("add D, then delete it"))
        return {Change::add(lettered(u'D')), Change::remove(lettered(u'D'))};
    return {Change::sortBy({true, 0, Qt::DescendingOrder})};
}

} // namespace

class TestMerge : public QObject {
    Q_OBJECT
private slots:
    void replayedOnTheFileAsItIsNow_data();
    void replayedOnTheFileAsItIsNow();
    void onlyAFileUnderThisPasswordTakesChanges_data();
    void onlyAFileUnderThisPasswordTakesChanges();
};

void TestMerge::replayedOnTheFileAsItIsNow_data()
{
    QTest::addColumn<QString>("command");   // what this run did to A B C
    QTest::addColumn<QString>("elsewhere"); // the file as it is now
    QTest::addColumn<QString>("merged");
    QTest::addColumn<int>("row"); // where the command's entry is now; -1 for none
    const struct {
        const char* name;
        const char* file;
    } elsewhere[] = {
        {"added", "A B C X"}, {"edited", "A B* C"}, {"deleted", "A C"}, {"reordered", "C B A"}, {"emptied", ""}};
    const struct {
        const char* command;
        const char* results[5];
        int rows[5];
    } commands[] = {
        {"add D", {"A B C X D", "A B* C D", "A C D", "C B A D", "D"}, {4, 3, 2, 3, 0}},
        // The entry edited here was changed or deleted elsewhere: what was typed is added.
        {"edit B to E", {"A E C X", "A B* C E", "A C E", "C E A", "E"}, {1, 3, 2, 1, 0}},
        {"delete B", {"A C X", "A B* C", "A C", "C A", ""}, {-1, -1, -1, -1, -1}},
        {"sort descending", {"X C B A", "C B* A", "C A", "C B A", ""}, {-1, -1, -1, -1, -1}},
        {"add D, then delete it", {"A B C X", "A B* C", "A C", "C B A", ""}, {-1, -1, -1, -1, -1}},
    };
    for (const auto& c : commands)
        for (int i = 0; i < 5; ++i)
            QTest::addRow("%s, %s elsewhere", c.command, elsewhere[i].name)
                << QString::fromLatin1(c.command) << QString::fromLatin1(elsewhere[i].file)
                << QString::fromLatin1(c.results[i]) << c.rows[i];
}

void TestMerge::replayedOnTheFileAsItIsNow()
{
    QFETCH(QString, command);
    QFETCH(QString, elsewhere);
    QFETCH(QString, merged);
    QFETCH(int, row);
    const vaultmerge::Replayed replayed = vaultmerge::replay(lettered(elsewhere), changesFor(command));
    QCOMPARE(replayed.entries, lettered(merged));
    QCOMPARE(replayed.row, row);
}

void TestMerge::onlyAFileUnderThisPasswordTakesChanges_data()
{
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason"); // empty: it takes them
    const QByteArray entries = fullVault(QStringLiteral("master"), lettered(QStringLiteral("A B")));
    QTest::newRow("this password") << true << entries << QString();
    QTest::newRow("only this password") << true << vaultformat::passwordOnly(QStringLiteral("master")) << QString();
    QTest::newRow("another password") << true << fullVault(QStringLiteral("Master"), lettered(QStringLiteral("A")))
                                      << "it is under another master password";
    QTest::newRow("no password") << true << vaultformat::emptyFile() << "it no longer holds a master password";
    QTest::newRow("unreadable") << false << QByteArray() << "it cannot be read (Permission denied)";
}

void TestMerge::onlyAFileUnderThisPasswordTakesChanges()
{
    QFETCH(bool, readable);
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    const Result read = readable ? Result{} : Result::failure(QStringLiteral("Permission denied"));
    const Result can = vaultmerge::mergeable(read, file, QStringLiteral("master"));
    QCOMPARE(can.ok, reason.isEmpty());
    QCOMPARE(can.reason, reason);
}

QTEST_GUILESS_MAIN(TestMerge)
#include "test_merge.moc"
