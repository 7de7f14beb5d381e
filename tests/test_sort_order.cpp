// Sorting by collation keys gives exactly the order of sorting by comparing texts with the
// collator: random texts full of the cases collation gets wrong (case, blanks, digits,
// punctuation, letters some languages sort apart, texts alike far in, empty and ignorable
// text, equal texts), in several languages, both directions, small lists and large ones.
#include "core/vault/CollationSort.h"
#include "core/vault/EntrySort.h"
#include "core/vault/EntryStore.h"

#include <QCollatorSortKey>
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <numeric>

namespace {

QCollator listCollator(const QLocale& locale)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    return collator;
}

// The order by comparing texts: the collator for two texts, and an empty text equal to those
// the collator gives its key, before all others; equal texts keep their order.
std::vector<int> comparedOrder(const QCollator& collator, const QStringList& texts, Qt::SortOrder direction)
{
    const QCollatorSortKey emptyKey = collator.sortKey(QString());
    const auto collatesEmpty = [&](const QString& s) {
        return s.isEmpty() || collator.sortKey(s).compare(emptyKey) == 0;
    };
    const auto compare = [&](int a, int b) {
        const QString& x = texts[a];
        const QString& y = texts[b];
        if (!x.isEmpty() && !y.isEmpty())
            return collator.compare(x, y);
        const bool xEmpty = collatesEmpty(x);
        const bool yEmpty = collatesEmpty(y);
        return xEmpty == yEmpty ? 0 : xEmpty ? -1 : 1;
    };
    std::vector<int> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = compare(a, b);
        return direction == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    return order;
}

QString randomText(QRandomGenerator& rng, const QStringList& pool)
{
    static const QString pieces[] = {
        QStringLiteral("a"),      QStringLiteral("B"),      QStringLiteral("c"),      QStringLiteral("ch"),
        QStringLiteral("CH"),     QStringLiteral("h"),      QStringLiteral("z"),      QStringLiteral("aa"),
        QStringLiteral("ll"),     QStringLiteral("i"),      QStringLiteral("I"),      QStringLiteral("y"),
        QStringLiteral("0"),      QStringLiteral("1"),      QStringLiteral("9"),      QStringLiteral("10"),
        QStringLiteral(" "),      QStringLiteral("  "),     QStringLiteral("-"),      QStringLiteral("_"),
        QStringLiteral("."),      QStringLiteral("/"),      QStringLiteral(":"),      QStringLiteral("'"),
        QStringLiteral("|"),      QStringLiteral("@"),      QStringLiteral("\u00e9"), QStringLiteral("e\u0301"),
        QStringLiteral("\u00c9"), QStringLiteral("\u00df"), QStringLiteral("ss"),     QStringLiteral("\u00e5"),
        QStringLiteral("\u00e4"), QStringLiteral("\u00f6"), QStringLiteral("\u00f8"), QStringLiteral("\u00e6"),
        QStringLiteral("\u0153"), QStringLiteral("\u00f1"), QStringLiteral("\u010d"), QStringLiteral("\u0131"),
        QStringLiteral("\u0130"), QStringLiteral("\u20ac"), QStringLiteral("\u00a0"), QStringLiteral("\u0001"),
        QStringLiteral("\u00ad"), QStringLiteral("\u65e5"), QStringLiteral("\u30ab"),
    };
    switch (rng.bounded(12)) {
    case 0: return {};
    case 1: return QStringLiteral("\u0001\u00ad"); // nothing but what collation ignores
    case 2:
    case 3: return pool[rng.bounded(pool.size())]; // texts equal to others, or nearly
    default: break;
    }
    QString text = rng.bounded(2) ? QStringLiteral("https://") : QString();
    for (int i = 0, n = 1 + rng.bounded(14); i < n; ++i)
        text += pieces[rng.bounded(int(std::size(pieces)))];
    return text;
}

QStringList randomTexts(int count, quint32 seed)
{
    QRandomGenerator rng(seed);
    // Texts alike for longer than the keys' first pieces, to be told apart late or not at all.
    const QString longStart = QStringLiteral("https://www.example.org/").repeated(4);
    const QStringList pool = {longStart + QStringLiteral("a"), longStart + QStringLiteral("A"),
                              longStart + QStringLiteral("b"), longStart,
                              QStringLiteral("abc"),           QStringLiteral("ABC"),
                              QStringLiteral("a-b"),           QStringLiteral("ab")};
    QStringList texts;
    texts.reserve(count);
    for (int i = 0; i < count; ++i)
        texts += randomText(rng, pool).toCaseFolded(); // the list folds case before collating
    return texts;
}

} // namespace

class TestSortOrder : public QObject {
    Q_OBJECT

private slots:
    void keysOrderAsComparing_data();
    void keysOrderAsComparing();
    void listSortsAsComparing_data();
    void listSortsAsComparing();
};

void TestSortOrder::keysOrderAsComparing_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("addresses"); // 1: every text starts alike; 2: all but one
    // Contractions (cs "ch", es "ll", da "aa"), letters sorted apart (sv, de, tr dotless i),
    // other scripts (ja), and lists large enough to be shared by two threads.
    for (const char* name : {"en_US", "de_DE", "sv_SE", "cs_CZ", "da_DK", "es_ES", "tr_TR", "fr_FR", "ja_JP"})
        QTest::addRow("%s", name) << QString::fromLatin1(name) << 3000 << 0;
    QTest::addRow("en_US large") << QStringLiteral("en_US") << 40000 << 0;
    QTest::addRow("cs_CZ large") << QStringLiteral("cs_CZ") << 40000 << 0;
    QTest::addRow("en_US addresses") << QStringLiteral("en_US") << 20000 << 1;
    QTest::addRow("en_US addresses but one") << QStringLiteral("en_US") << 20000 << 2;
}

void TestSortOrder::keysOrderAsComparing()
{
    QFETCH(QString, locale);
    QFETCH(int, count);
    QFETCH(int, addresses);
    const QCollator collator = listCollator(QLocale(locale));
    QVERIFY(collationsort::canSort(collator));
    QStringList texts = randomTexts(count, qHash(locale) ^ quint32(count));
    if (addresses > 0) {
        for (QString& text : texts)
            text.prepend(QStringLiteral("https://www."));
        if (addresses == 2)
            texts[count / 2 + 1] = QStringLiteral("ftp://");
    }
    const collationsort::TextOf textOf = [&](int row, QString& out) { out = texts[row]; };
    for (const Qt::SortOrder direction : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        const std::vector<int> expected = comparedOrder(collator, texts, direction);
        const std::vector<int> sorted = collationsort::sort(collator, int(texts.size()), textOf, direction);
        QCOMPARE(sorted.size(), expected.size());
        const auto differ = std::mismatch(sorted.begin(), sorted.end(), expected.begin());
        if (differ.first != sorted.end())
            QFAIL(qPrintable(QStringLiteral("place %1 (direction %2): \"%3\" where \"%4\" belongs")
                                 .arg(differ.first - sorted.begin())
                                 .arg(int(direction))
                                 .arg(texts[*differ.first], texts[*differ.second])));
    }
}

// The list itself, on its stored text: every column in both directions, the order as compared,
// for a short list and one long enough to be sorted by keys.
void TestSortOrder::listSortsAsComparing_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("short") << 500;
    QTest::newRow("long") << 12000;
}

void TestSortOrder::listSortsAsComparing()
{
    QFETCH(int, count);
    QLocale::setDefault(QLocale(QStringLiteral("sv_SE")));
    QRandomGenerator rng(7);
    std::vector<Entry> entries;
    QStringList columns[3];
    const QString chars = QStringLiteral("aAbBzZ\u00e5\u00c5\u00e4\u00f6 -_.019|\u00e9\u00df\u20ac");
    while (int(entries.size()) < count) {
        Entry e;
        for (QString* field : {&e.username, &e.password, &e.location})
            for (int n = rng.bounded(6); n > 0; --n)
                field->append(chars[rng.bounded(chars.size())]);
        if (e.password.endsWith(QLatin1Char('|')) || e.username.endsWith(QLatin1Char('|')))
            continue; // such fields come only from damaged lines
        entries.push_back(e);
        for (int c = 0; c < 3; ++c)
            columns[c] += EntryStore::field(e, c).toCaseFolded();
    }
    const QCollator collator = listCollator(QLocale());
    for (int column = 0; column < 3; ++column) {
        for (const Qt::SortOrder direction : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            EntryStore store;
            store.replaceAll(entries);
            EntrySort sort;
            QVERIFY(sort.change({true, column, direction}, store.count()));
            QCOMPARE(sort.sortedOrder(store), comparedOrder(collator, columns[column], direction));
        }
    }
    QLocale::setDefault(QLocale::c());
}

QTEST_GUILESS_MAIN(TestSortOrder)
#include "test_sort_order.moc"
