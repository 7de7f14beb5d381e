// Files no one would write by hand: each loads through the password gate and the main window
// without crashing or hanging, and whatever a save writes of it reads back unchanged.
#include "core/platform/CodePage.h"
#include "core/vault/LineCipher.h"
#include "support/TestProgram.h"
#include "windows/main/MainWindow.h"

#include <QTest>
#include <algorithm>

namespace {

const QByteArray kBar = cipherBytes(QByteArrayLiteral("|"));
const QByteArray kSeparator = cipherBytes(QByteArrayLiteral("|||"));
const QByteArray kCRLF = QByteArrayLiteral("\r\n");

QByteArray stored(const QString& plain)
{
    const ResultWith<QByteArray> bytes = codepage::encode(plain);
    if (!bytes.ok)
        qFatal("test text outside the code page");
    return cipherBytes(bytes.value);
}

struct Input {
    QByteArray bytes;
    QString master;
};

// Each sweep's file, built only when its row runs.
Input input(const QString& kind)
{
    const QString master = QStringLiteral("master");
    Input in{stored(master) + kCRLF, master};
    QByteArray& out = in.bytes;
    if (kind == QLatin1String("a million lines")) {
        for (int i = 0; i < 1000000; ++i) {
            const QByteArray n = QByteArray::number(i);
            out += cipherBytes("user" + n + "|||pw" + n + "|||site" + n + ".example") + kCRLF;
        }
        out += kCRLF;
    } else if (kind == QLatin1String("a line of 50 MB")) {
        // Every byte but CR, so the location holds bars, separators and lone LFs too. In the
        // first row, which the list measures.
        QByteArray huge(50 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0, b = 0; i < huge.size(); ++i, b = (b + 1) % 256)
            huge[i] = static_cast<char>(b == '\r' ? ++b : b);
        out +=
            stored(QStringLiteral("big|||pw|||")) + huge + kCRLF + stored(QStringLiteral("a|||b|||c")) + kCRLF + kCRLF;
    } else if (kind == QLatin1String("every byte in every field")) {
        for (int b = 0; b < 256; ++b) {
            for (int field = 0; field < 3; ++field) {
                for (int at = 0; at < 3; ++at) { // start, middle, end
                    QByteArray fields[3] = {stored(QStringLiteral("ab")), stored(QStringLiteral("cd")),
                                            stored(QStringLiteral("ef"))};
                    fields[field].insert(at, static_cast<char>(b));
                    out += fields[0] + kSeparator + fields[1] + kSeparator + fields[2] + kCRLF;
                }
            }
        }
    } else if (kind == QLatin1String("lines of only separators")) {
        for (int n = 1; n <= 12; ++n)
            out += kBar.repeated(n) + kCRLF;
    } else if (kind == QLatin1String("no final line end")) {
        out += stored(QStringLiteral("a|||b|||c")) + kCRLF + stored(QStringLiteral("d|||e|||f"));
    } else if (kind == QLatin1String("CR without LF")) {
        out = stored(master) + '\r' + stored(QStringLiteral("a|||b|||c")) + '\r' + stored(QStringLiteral("d|||e|||")) +
              "\r\r";
    } else if (kind == QLatin1String("LF without CR between entries")) {
        out += stored(QStringLiteral("a|||b|||c")) + '\n' + stored(QStringLiteral("d|||e|||f")) + '\n' + kCRLF;
    } else if (kind == QLatin1String("LF without CR everywhere")) {
        // All one line: the master password is the whole file, LF read as the character it deciphers to.
        const QStringList lines = {master, QStringLiteral("a|||b|||c"), QStringLiteral("d|||e|||f")};
        out = stored(lines.join(QChar(0x0160))) + '\n';
        in.master = lines.join(QChar(0x0160)) + QChar(0x0160);
    } else {
        qFatal("unknown input");
    }
    return in;
}

// The raw entry lines of a file, told apart as the program reads it: a line ends at CR, one LF
// after it is skipped; line 1 and empty or single-blank lines are not entries.
QList<QByteArrayView> entryLines(const QByteArray& file)
{
    QList<QByteArrayView> lines;
    bool first = true;
    for (qsizetype at = 0; at < file.size();) {
        qsizetype end = file.indexOf('\r', at);
        if (end < 0)
            end = file.size();
        const QByteArrayView line(file.constData() + at, end - at);
        if (!first && !line.isEmpty() && line != " ")
            lines.append(line);
        first = false;
        at = end + 1;
        if (at < file.size() && file[at] == '\n')
            ++at;
    }
    return lines;
}

bool complete(QByteArrayView line)
{
    const qsizetype first = line.indexOf(kSeparator);
    return first >= 0 && line.indexOf(kSeparator, first + 3) >= 0;
}

QString shown(const Entry& e)
{
    auto cut = [](const QString& s) { return s.size() > 60 ? s.left(60) + QStringLiteral("...") : s; };
    return QStringLiteral("{%1 | %2 | %3}").arg(cut(e.username), cut(e.password), cut(e.location));
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT
private slots:
    void loadSaveReload_data();
    void loadSaveReload();
};

void TestBadInput::loadSaveReload_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind :
         {"a million lines", "a line of 50 MB", "every byte in every field", "no final line end", "CR without LF",
          "LF without CR between entries", "LF without CR everywhere", "lines of only separators"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestBadInput::loadSaveReload()
{
    QFETCH(QString, kind);
    const Input in = input(kind);

    std::vector<Entry> loaded;
    QByteArray saved;
    {
        TestProgram p;
        p.writeVault(in.bytes);
        p.startAndUnlock(in.master);
        QVERIFY2(p.fake.messages.boxes.empty(), qPrintable(p.fake.messages.texts().join(QLatin1Char('\n'))));
        QVERIFY(p.mainWindow()->isVisible());
        loaded = p.listEntries();
        QVERIFY2(p.status().startsWith(QStringLiteral("Loaded %1 entries").arg(loaded.size())), qPrintable(p.status()));
        QVERIFY(p.ctx->vault.save().ok);
        saved = p.vaultBytes();
    }

    // Lines with both separators are written back byte for byte, in their order.
    const QList<QByteArrayView> before = entryLines(in.bytes);
    const QList<QByteArrayView> after = entryLines(saved);
    QCOMPARE(after.size(), before.size());
    qsizetype rewritten = -1;
    for (qsizetype i = 0; i < before.size() && rewritten < 0; ++i) {
        if (complete(before[i]) && after[i] != before[i])
            rewritten = i;
    }
    QCOMPARE(rewritten, qsizetype(-1));

    // Every entry, damaged ones too, reads back as it was loaded.
    TestProgram q;
    q.writeVault(saved);
    q.startAndUnlock(in.master);
    const std::vector<Entry> back = q.listEntries();
    QCOMPARE(back.size(), loaded.size());
    const auto differ = std::mismatch(loaded.begin(), loaded.end(), back.begin());
    QVERIFY2(differ.first == loaded.end(),
             qPrintable(differ.first == loaded.end() ? QString()
                                                     : QStringLiteral("entry %1 loaded as %2, read back as %3")
                                                           .arg(differ.first - loaded.begin())
                                                           .arg(shown(*differ.first), shown(*differ.second))));
}

QTEST_MAIN(TestBadInput)
#include "test_bad_input.moc"
