// The list's storage: rows kept as the file's enciphered lines in one buffer, entries the code
// page cannot hold kept aside, the buffer compacted once edits have left enough text behind.
// A long run of random edits is checked against a plain list after every step.
#include "core/vault/EntryStore.h"
#include "core/vault/VaultFile.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultSession.h"
#include "support/VaultBytes.h"
#include "windows/main/EntryListModel.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>
#include <random>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
}

struct Row {
    quint64 id;
    Entry entry;
};

QString randomText(QRandomGenerator& rng)
{
    switch (rng.bounded(10)) {
    case 0: return {};
    case 1: return QStringLiteral("\u65E5\u672C"); // outside the code page: kept as it is
    case 2: return QString(20000 + rng.bounded(20000), QChar(u'a' + rng.bounded(26))); // fills the buffer fast
    default: {
        QString s;
        for (int i = 0, n = 1 + rng.bounded(12); i < n; ++i)
            s.append(QChar(u"aBc\u00e9\u20ac |1x"[rng.bounded(10)]));
        return s;
    }
    }
}

Entry randomEntry(QRandomGenerator& rng)
{
    return {randomText(rng), randomText(rng), randomText(rng)};
}

std::vector<Entry> entriesOf(const std::vector<Row>& rows)
{
    std::vector<Entry> out;
    for (const Row& r : rows)
        out.push_back(r.entry);
    return out;
}

QByteArray written(const EntryListModel& model)
{
    return vaultfile::fileFor(QStringLiteral("master"), model.store());
}

// Rows, identities and the written file all match the plain list.
void compare(const EntryListModel& model, const std::vector<Row>& rows)
{
    QCOMPARE(model.count(), int(rows.size()));
    for (int row = 0; row < model.count(); ++row) {
        QCOMPARE(model.idAt(row), rows[row].id);
        QCOMPARE(model.rowOfId(rows[row].id), row);
        QVERIFY(model.at(row) == rows[row].entry);
    }
    QCOMPARE(written(model), fullVault(QStringLiteral("master"), entriesOf(rows)));
}

QStringList usernames(const EntryListModel& model)
{
    QStringList out;
    for (int row = 0; row < model.count(); ++row)
        out << model.store().field(row, 0);
    return out;
}

} // namespace

class TestEntryStorage : public QObject {
    Q_OBJECT
private slots:
    void randomEditsMatchAPlainList();
    void manyRowsWrittenAsAPlainList_data();
    void manyRowsWrittenAsAPlainList();
    void emptyAndIgnorableTextSortFirst_data();
    void emptyAndIgnorableTextSortFirst();
};

void TestEntryStorage::randomEditsMatchAPlainList()
{
    QRandomGenerator rng(20261210);
    // Every change is saved at once: a folder in memory keeps that cheap.
    QTemporaryDir dir(QStringLiteral("/dev/shm/keyhaven-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    std::vector<Entry> start;
    for (int i = 0; i < 50; ++i)
        start.push_back(randomEntry(rng));
    writeFile(path, fullVault(QStringLiteral("master"), start));
    VaultSession vault(path);
    EntryListModel model(vault);
    // Every signal the model sends, and every answer it gives, checked as views rely on them.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int c = 0; c < 3; ++c)
        model.addColumn(QString::number(c));
    std::vector<Row> rows;
    quint64 lastId = 0;

    // Start from a file, as a run does.
    QVERIFY(vault.open().ok);
    QVERIFY(vault.unlock(QStringLiteral("master")) == VaultSession::Unlock::Unlocked);
    for (int row = 0; row < model.count(); ++row) {
        QVERIFY(model.idAt(row) > lastId);
        lastId = model.idAt(row);
        rows.push_back({lastId, model.at(row)});
    }
    compare(model, rows);

    for (int step = 0; step < 3000 && !QTest::currentTestFailed(); ++step) {
        const int op = rng.bounded(20);
        if (op < 6 || rows.empty()) {
            const Entry e = randomEntry(rng);
            const int at = vault.add(e).row;
            QVERIFY(model.idAt(at) > lastId); // never an identity used before
            lastId = model.idAt(at);
            rows.insert(rows.begin() + at, {lastId, e});
        } else if (op < 12) {
            const int row = int(rng.bounded(quint32(rows.size())));
            const Entry e = randomEntry(rng);
            vault.replace(model.idAt(row), model.at(row), e);
            rows[row].entry = e;
        } else if (op < 18) {
            const int row = int(rng.bounded(quint32(rows.size())));
            vault.remove(row);
            rows.erase(rows.begin() + row);
        } else {
            // A sort keeps every row with its identity; the order itself is the sort tests' business.
            vault.sort(
                {rng.bounded(4) != 0, rng.bounded(3), rng.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder});
            std::vector<Row> sorted;
            for (int row = 0; row < model.count(); ++row) {
                const auto it =
                    std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.id == model.idAt(row); });
                QVERIFY(it != rows.end());
                sorted.push_back(*it);
            }
            rows = std::move(sorted);
        }
        compare(model, rows);
        if (QTest::currentTestFailed())
            qInfo("at step %d, operation %d", step, op);
    }
}

// A long list is gathered in pieces of rows on two threads: here the last piece is whole or a
// few rows, the rows lie in the file's order (long runs written as they lie) or shuffled, and
// some are kept aside or were edited.
void TestEntryStorage::manyRowsWrittenAsAPlainList_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("shuffled");
    for (const int rows : {8192 + 100, 5 * 8192 + 7, 6 * 8192}) {
        for (const bool shuffled : {false, true})
            QTest::addRow("%d rows%s", rows, shuffled ? ", shuffled" : "") << rows << shuffled;
    }
}

void TestEntryStorage::manyRowsWrittenAsAPlainList()
{
    QFETCH(int, rows);
    QFETCH(bool, shuffled);
    QRandomGenerator rng(20261211);
    std::vector<Entry> entries;
    for (int i = 0; i < rows; ++i) {
        const QString n = QString::number(i);
        entries.push_back({QStringLiteral("user") + n,
                           i % 997 == 0 ? QStringLiteral("\u65E5") : QStringLiteral("pw") + n,
                           QStringLiteral("site") + QString(int(rng.bounded(40)), QLatin1Char('x'))});
    }
    EntryStore store;
    store.replaceAll(entries);
    for (int row = 5; row < rows; row += 4099) { // edited: their text now lies after the others'
        entries[size_t(row)].password = QStringLiteral("changed") + QString::number(row);
        store.setEntry(row, entries[size_t(row)]);
    }
    if (shuffled) {
        std::vector<int> order(static_cast<size_t>(rows));
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        store.reorder(order);
        std::vector<Entry> reordered;
        for (const int row : order)
            reordered.push_back(entries[size_t(row)]);
        entries = std::move(reordered);
    }
    QCOMPARE(vaultfile::fileFor(QStringLiteral("master"), store), fullVault(QStringLiteral("master"), entries));
}

void TestEntryStorage::emptyAndIgnorableTextSortFirst_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("descendingTail");
    const QString empty, control = QStringLiteral("\u0001");
    // The C locale compares bytes, so there the control character comes after the empty text;
    // elsewhere it is ignored, and the two are equal.
    QTest::newRow("C") << QStringLiteral("C") << QStringList{control, empty};
    QTest::newRow("en_US") << QStringLiteral("en_US") << QStringList{empty, control};
    QTest::newRow("de_DE") << QStringLiteral("de_DE") << QStringList{empty, control};
}

void TestEntryStorage::emptyAndIgnorableTextSortFirst()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, descendingTail);
    const QStringList names = {QStringLiteral("b"), QString(), QStringLiteral("A"), QStringLiteral("\u0001"),
                               QStringLiteral("a")};
    std::vector<Entry> entries;
    for (const QString& name : names)
        entries.push_back({name, {}, {}});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.enc"));
    writeFile(path, fullVault(QStringLiteral("master"), entries));
    QLocale::setDefault(QLocale(locale));
    VaultSession vault(path);
    EntryListModel model(vault);
    model.addColumn(QStringLiteral("Username"));
    QLocale::setDefault(QLocale::c());
    QVERIFY(vault.open().ok);
    QVERIFY(vault.unlock(QStringLiteral("master")) == VaultSession::Unlock::Unlocked);

    // Equal texts keep the order they came in, either way.
    vault.sort({true, 0, Qt::AscendingOrder});
    QCOMPARE(usernames(model), (QStringList{QString(), QStringLiteral("\u0001"), "A", "a", "b"}));
    vault.sort({true, 0, Qt::DescendingOrder});
    QCOMPARE(usernames(model), QStringList({"b", "A", "a"}) + descendingTail);
}

QTEST_MAIN(TestEntryStorage)
#include "test_entry_storage.moc"
