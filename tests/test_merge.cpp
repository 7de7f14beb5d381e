// Merging with a data file changed elsewhere, as pure functions: this run's changes replayed on
// the file as it is now, and whether a file can take them at all.
#include "core/vault/ConflictCopies.h"
#include "core/vault/CopyMerge.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultMerge.h"
#include "core/vault/VersionRecord.h"
#include "support/LetteredEntries.h"
#include "support/VaultBytes.h"

#include <QCryptographicHash>
#include <QTest>
#include <algorithm>

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

// Digests of the text: the merge needs them keyed only to keep them from strangers.
copymerge::Digest textDigest(const QString& text)
{
    return copymerge::Digest::of(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5));
}
const copymerge::Digests kDigests = {
    [](const Entry& e) {
        return textDigest(e.username + QLatin1Char('|') + e.password + QLatin1Char('|') + e.location);
    },
    [](const Entry& e) { return textDigest(e.username + QLatin1Char('|') + e.location); }};

copymerge::Version version(const QString& letters)
{
    return copymerge::versionOf(lettered(letters), kDigests);
}

// Where an entry goes in a list in order of its usernames; -1 when the list is in no order.
int byUsername(const std::vector<Entry>& entries, const Entry& entry)
{
    for (size_t i = 1; i < entries.size(); ++i)
        if (entries[i - 1].username > entries[i].username)
            return -1;
    return int(std::upper_bound(entries.begin(), entries.end(), entry,
                                [](const Entry& a, const Entry& b) { return a.username < b.username; }) -
               entries.begin());
}

} // namespace

class TestMerge : public QObject {
    Q_OBJECT
private slots:
    void replayedOnTheFileAsItIsNow_data();
    void replayedOnTheFileAsItIsNow();
    void onlyAFileUnderThisPasswordTakesChanges_data();
    void onlyAFileUnderThisPasswordTakesChanges();
    void copyMergedAgainstTheLastCommonVersion_data();
    void copyMergedAgainstTheLastCommonVersion();
    void theLastCommonVersionIsFound_data();
    void theLastCommonVersionIsFound();
    void conflictCopiesAreKnownByTheirNames_data();
    void conflictCopiesAreKnownByTheirNames();
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

void TestMerge::copyMergedAgainstTheLastCommonVersion_data()
{
    QTest::addColumn<QString>("base"); // "none": no record
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("copy");
    QTest::addColumn<QString>("merged");
    QTest::addColumn<int>("needLook");
    QTest::addColumn<bool>("changed"); // from the file
    // B* is B with its password changed, B** changed another way.
    QTest::newRow("added in the file") << "A B C"
                                       << "A B C X"
                                       << "A B C"
                                       << "A B C X" << 0 << false;
    QTest::newRow("added in the copy") << "A B C"
                                       << "A B C"
                                       << "A B C Y"
                                       << "A B C Y" << 0 << true;
    QTest::newRow("added on both") << "A B C"
                                   << "A B C X"
                                   << "A B C Y"
                                   << "A B C X Y" << 0 << true;
    QTest::newRow("deleted in the file") << "A B C"
                                         << "A C"
                                         << "A B C"
                                         << "A C" << 0 << false;
    QTest::newRow("deleted in the copy") << "A B C"
                                         << "A B C"
                                         << "A C"
                                         << "A C" << 0 << true;
    QTest::newRow("deleted on both") << "A B C"
                                     << "A C"
                                     << "A C"
                                     << "A C" << 0 << false;
    QTest::newRow("deleted and added on one, changed and added on the other") << "A B C"
                                                                              << "A C X"
                                                                              << "A B* C Y"
                                                                              << "A C X B* Y" << 1 << true;
    QTest::newRow("changed in the copy") << "A B C"
                                         << "A B C"
                                         << "A B* C"
                                         << "A C B*" << 0 << true;
    QTest::newRow("changed in the file") << "A B C"
                                         << "A B* C"
                                         << "A B C"
                                         << "A B* C" << 0 << false;
    QTest::newRow("changed alike on both") << "A B C"
                                           << "A B* C"
                                           << "A B* C"
                                           << "A B* C" << 0 << false;
    QTest::newRow("changed differently on both") << "A B C"
                                                 << "A B* C"
                                                 << "A B** C"
                                                 << "A B* C B**" << 2 << true;
    QTest::newRow("deleted in the file, changed in the copy") << "A B C"
                                                              << "A C"
                                                              << "A B* C"
                                                              << "A C B*" << 1 << true;
    QTest::newRow("changed in the file, deleted in the copy") << "A B C"
                                                              << "A B* C"
                                                              << "A C"
                                                              << "A B* C" << 1 << false;
    QTest::newRow("a duplicate taken away on one side") << "A A B"
                                                        << "A B"
                                                        << "A A B"
                                                        << "A B" << 0 << false;
    QTest::newRow("the same entry added on both") << "A"
                                                  << "A X"
                                                  << "A X"
                                                  << "A X" << 0 << false;
    QTest::newRow("no record: every entry of both") << "none"
                                                    << "A C X"
                                                    << "A B C Y"
                                                    << "A C X B Y" << 0 << true;
    QTest::newRow("a list in order stays in order") << "B E"
                                                    << "B C E"
                                                    << "A B E F"
                                                    << "A B C E F" << 0 << true;
    QTest::newRow("a list in no order takes them at its end") << "E B"
                                                              << "E C B"
                                                              << "E A B"
                                                              << "E C B A" << 0 << true;
}

void TestMerge::copyMergedAgainstTheLastCommonVersion()
{
    QFETCH(QString, base);
    QFETCH(QString, file);
    QFETCH(QString, copy);
    QFETCH(QString, merged);
    QFETCH(int, needLook);
    QFETCH(bool, changed);
    const std::optional<copymerge::Version> common =
        base == QLatin1String("none") ? std::nullopt : std::optional(version(base));
    // The rows about order give the list's order; the others take the copy's new entries at the end.
    const copymerge::SortedPlace place =
        QByteArray(QTest::currentDataTag()).contains("order") ? copymerge::SortedPlace(byUsername) : nullptr;
    const copymerge::Merged result = copymerge::merge(common, lettered(file), lettered(copy), kDigests, place);
    QCOMPARE(result.entries, lettered(merged));
    QCOMPARE(result.needLook, needLook);
    QCOMPARE(result.changed, changed);
    // Nothing only one side had is lost, unless the other deleted it: merged again, nothing changes.
    const copymerge::Merged again = copymerge::merge(common, result.entries, lettered(copy), kDigests, place);
    QCOMPARE(again.entries, result.entries);
}

void TestMerge::theLastCommonVersionIsFound_data()
{
    // This machine's record: the version it read ("read"), then each it wrote ("wrote", one
    // version a word group, separated by "|"). The other machine's version and this one's newest
    // meet as the file and its conflict copy, either way round.
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("wrote");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("base");
    QTest::newRow("apart after reading: what was read") << "A B"
                                                        << "A B X | A B X Z"
                                                        << "A B Y"
                                                        << "A B";
    QTest::newRow("wrote, then it went over, then apart: what went over") << "A B"
                                                                          << "A B C | A B C X"
                                                                          << "A B C Y"
                                                                          << "A B C";
    QTest::newRow("wrote and deleted, then apart: both went over") << "A"
                                                                   << "A B | B"
                                                                   << "B Y"
                                                                   << "B";
    QTest::newRow("the other deleted what went over: taken as not gone over, kept") << "A"
                                                                                    << "A B | A B X"
                                                                                    << "A Y"
                                                                                    << "A";
    QTest::newRow("nothing written since reading") << "A B"
                                                   << ""
                                                   << "A B Y"
                                                   << "A B";
}

void TestMerge::theLastCommonVersionIsFound()
{
    QFETCH(QString, read);
    QFETCH(QString, wrote);
    QFETCH(QString, theirs);
    QFETCH(QString, base);
    VersionRecord record;
    QVERIFY(!record.baseFor(version(read), version(theirs)));
    record.startFrom(version(read));
    copymerge::Version last = version(read);
    for (const QString& next : wrote.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        record.wrote(VersionRecord::difference(last, version(next.trimmed())));
        last = version(next.trimmed());
    }
    QVERIFY(VersionRecord::sameEntries(record.newest(), last));
    for (const bool theirsIsTheFile : {true, false}) {
        const std::optional<copymerge::Version> found =
            theirsIsTheFile ? record.baseFor(version(theirs), last) : record.baseFor(last, version(theirs));
        QVERIFY(found);
        QVERIFY2(VersionRecord::sameEntries(*found, version(base)),
                 theirsIsTheFile ? "theirs the file" : "theirs the copy");
    }
}

void TestMerge::conflictCopiesAreKnownByTheirNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("dataFile");
    QTest::addColumn<bool>("copy");
    const QString data = QStringLiteral("data.enc");
    QTest::newRow("Syncthing") << "data.sync-conflict-20261211-035724-NYCEVZ5.enc" << data << true;
    QTest::newRow("Nextcloud") << "data (conflicted copy 2026-12-11 035724).enc" << data << true;
    QTest::newRow("Nextcloud, numbered") << "data (conflicted copy 2026-12-11 035724) (2).enc" << data << true;
    QTest::newRow("ownCloud") << "data_conflict-20261211-035724.enc" << data << true;
    QTest::newRow("Dropbox") << "data (Ann Smith's conflicted copy 2026-12-11).enc" << data << true;
    QTest::newRow("Dropbox, numbered") << "data (Ann's conflicted copy 2026-12-11) (1).enc" << data << true;
    QTest::newRow("another data file's") << "vault.sync-conflict-20261211-035724-NYCEVZ5.enc"
                                         << "vault.enc" << true;
    QTest::newRow("the data file") << "data.enc" << data << false;
    QTest::newRow("this program's conflict file") << "data.enc.conflict-20261211-035724" << data << false;
    QTest::newRow("a short date") << "data.sync-conflict-2026121-035724-NYCEVZ5.enc" << data << false;
    QTest::newRow("a device in small letters") << "data.sync-conflict-20261211-035724-nycevz5.enc" << data << false;
    QTest::newRow("a device too long") << "data.sync-conflict-20261211-035724-NYCEVZ5A.enc" << data << false;
    QTest::newRow("another file's copy") << "notes.sync-conflict-20261211-035724-NYCEVZ5.enc" << data << false;
    QTest::newRow("another extension") << "data.sync-conflict-20261211-035724-NYCEVZ5.txt" << data << false;
    QTest::newRow("no time") << "data (conflicted copy 2026-12-11).enc" << data << false;
    QTest::newRow("no owner") << "data (conflicted copy 2026-12-11) (x).enc" << data << false;
    QTest::newRow("something after it") << "data_conflict-20261211-035724.enc.bak" << data << false;
    QTest::newRow("a sync tool's part file") << ".syncthing.data.enc.tmp" << data << false;
}

void TestMerge::conflictCopiesAreKnownByTheirNames()
{
    QFETCH(QString, name);
    QFETCH(QString, dataFile);
    QFETCH(bool, copy);
    QCOMPARE(conflictcopies::isCopyOf(name, dataFile), copy);
}

QTEST_GUILESS_MAIN(TestMerge)
#include "test_merge.moc"
