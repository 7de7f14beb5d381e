#include "core/presentation/RtfReader.h"

#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The document's text with paragraphs as '\n'; line breaks and no-break spaces stay as read.
QString textOf(const QTextDocument& document)
{
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

QString read(const QByteArray& rtf)
{
    QTextDocument document;
    readRtf(rtf, document);
    return textOf(document);
}

// The formatting of one character and its paragraph, in words.
QString describe(QTextDocument& document, int position)
{
    QTextCursor cursor(&document);
    cursor.setPosition(position + 1);
    const QTextCharFormat format = cursor.charFormat();
    QStringList parts;
    if (format.fontWeight() >= QFont::Bold)
        parts << QStringLiteral("bold");
    if (format.fontItalic())
        parts << QStringLiteral("italic");
    if (format.fontUnderline())
        parts << QStringLiteral("underline");
    parts << QString::number(format.fontPointSize()) + QStringLiteral("pt");
    if (format.hasProperty(QTextFormat::ForegroundBrush))
        parts << format.foreground().color().name();
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty())
        parts << families.first();
    const Qt::Alignment align = document.findBlock(position).blockFormat().alignment() & Qt::AlignHorizontal_Mask;
    parts << (align == Qt::AlignRight     ? QStringLiteral("right")
              : align == Qt::AlignHCenter ? QStringLiteral("center")
              : align == Qt::AlignJustify ? QStringLiteral("justify")
                                          : QStringLiteral("left"));
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestRtfReader : public QObject {
    Q_OBJECT
private slots:
    void text_data();
    void text();
    void format_data();
    void format();
    void damaged_data();
    void damaged();
    void helpDocument();
    void hugeTablesAreCut();
};

void TestRtfReader::text_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("{\\rtf1\\ansi Hello world}") << u"Hello world"_s;
    QTest::newRow("one delimiter space") << QByteArray("{\\rtf1\\b  two}") << u" two"_s;
    QTest::newRow("delimiter after number") << QByteArray("{\\rtf1\\fs20 a\\fs-4 b}") << u"ab"_s;
    QTest::newRow("line ends ignored") << QByteArray("{\\rtf1 a\r\nb\nc\rd}") << u"abcd"_s;
    QTest::newRow("par") << QByteArray("{\\rtf1 one\\par two}") << u"one\ntwo"_s;
    QTest::newRow("backslash newline is par") << QByteArray("{\\rtf1 one\\\ntwo}") << u"one\ntwo"_s;
    QTest::newRow("line") << QByteArray("{\\rtf1 a\\line b}") << u"a\u2028b"_s;
    QTest::newRow("tab") << QByteArray("{\\rtf1 a\\tab b}") << u"a\tb"_s;
    QTest::newRow("escaped symbols") << QByteArray("{\\rtf1 \\\\ \\{ \\}}") << u"\\ { }"_s;
    QTest::newRow("spaces and hyphens") << QByteArray("{\\rtf1 a\\~b\\-c\\_d}") << u"a\u00A0bc\u2011d"_s;
    QTest::newRow("typographic words") << QByteArray(
                                              "{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}")
                                       << u"\u2014\u2013\u2022\u2018\u2019\u201C\u201D"_s;
    QTest::newRow("unknown word") << QByteArray("{\\rtf1 a\\foo b\\bar7 c}") << u"abc"_s;
    QTest::newRow("hex 1252") << QByteArray("{\\rtf1\\ansi\\ansicpg1252 \\'e9\\'80\\'93\\'9F\\'8a}")
                              << u"\u00E9\u20AC\u201C\u0178\u0160"_s;
    QTest::newRow("hex default code page") << QByteArray("{\\rtf1 \\'80\\'85}") << u"\u20AC\u2026"_s;
    QTest::newRow("hex 1251") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1}") << u"\u0410\u0431"_s;
    QTest::newRow("hex through font charset")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 A;}{\\f1\\fcharset238 B;}}\\f1\\'8c\\f0\\'8c}") << u"\u015A\u0152"_s;
    QTest::newRow("unicode") << QByteArray("{\\rtf1 \\u8364?x}") << u"\u20ACx"_s;
    QTest::newRow("unicode hex fallback") << QByteArray("{\\rtf1 \\u8364\\'80x}") << u"\u20ACx"_s;
    QTest::newRow("uc0") << QByteArray("{\\rtf1\\uc0\\u8364?}") << u"\u20AC?"_s;
    QTest::newRow("uc2") << QByteArray("{\\rtf1\\uc2\\u8364 EUx\\u8364\\'80\\'80y}") << u"\u20ACx\u20ACy"_s;
    QTest::newRow("uc group scoped") << QByteArray("{\\rtf1{\\uc2\\u8364 EU}\\u8364?c}") << u"\u20AC\u20ACc"_s;
    QTest::newRow("fallback ends at group") << QByteArray("{\\rtf1\\uc3{\\u8364 a}b}") << u"\u20ACb"_s;
    QTest::newRow("negative unicode") << QByteArray("{\\rtf1 \\u-3913?\\u-10179?\\u-8704?}") << u"\uF0B7\U0001F600"_s;
    QTest::newRow("starred group") << QByteArray("{\\rtf1{\\*\\generator x;}a{\\*\\unknown {b}c}d}") << u"ad"_s;
    QTest::newRow("info") << QByteArray("{\\rtf1{\\info{\\title t}{\\author w}}a}") << u"a"_s;
    QTest::newRow("pict") << QByteArray("{\\rtf1 a{\\pict\\pngblip\\picw10 89504e47}b}") << u"ab"_s;
    QTest::newRow("binary data") << QByteArray("{\\rtf1{\\pict\\bin3 }{\\}a}") << u"a"_s;
    QTest::newRow("tables and sheets")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fswiss Verdana;}}{\\colortbl;\\red1\\green2\\blue3;}"
                      "{\\stylesheet{\\s0 Normal;}}{\\header h}{\\footer f}a}")
        << u"a"_s;
    QTest::newRow("field result") << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}}")
                                  << u"link"_s;
}

void TestRtfReader::text()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(read(rtf), expected);
}

void TestRtfReader::format_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("expected");

    const QByteArray onOff("{\\rtf1 a\\b b\\b0\\i c\\i0\\ul d\\ul0 e\\ul f\\ulnone g\\b1 h}");
    QTest::newRow("default") << onOff << 0 << u"12pt left"_s;
    QTest::newRow("bold") << onOff << 1 << u"bold 12pt left"_s;
    QTest::newRow("italic") << onOff << 2 << u"italic 12pt left"_s;
    QTest::newRow("underline") << onOff << 3 << u"underline 12pt left"_s;
    QTest::newRow("ul0") << onOff << 4 << u"12pt left"_s;
    QTest::newRow("ulnone") << onOff << 6 << u"12pt left"_s;
    QTest::newRow("b1") << onOff << 7 << u"bold 12pt left"_s;
    QTest::newRow("group restores") << QByteArray("{\\rtf1{\\b\\fs40 a}b}") << 1 << u"12pt left"_s;
    QTest::newRow("plain") << QByteArray("{\\rtf1\\b\\i\\ul\\fs40 a\\plain b}") << 1 << u"12pt left"_s;
    QTest::newRow("half points") << QByteArray("{\\rtf1\\fs17 a}") << 0 << u"8.5pt left"_s;
    QTest::newRow("size capped") << QByteArray("{\\rtf1\\fs99999999999999999999 a}") << 0 << u"1638pt left"_s;
    QTest::newRow("size zero ignored") << QByteArray("{\\rtf1\\fs0 a}") << 0 << u"12pt left"_s;

    const QByteArray fonts("{\\rtf1\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0{\\*\\panose 020b}Verdana;}"
                           "{\\f1\\froman Times New Roman;}}a\\f1 b\\f0 c\\f1\\plain d}");
    QTest::newRow("default font") << fonts << 0 << u"12pt Verdana left"_s;
    QTest::newRow("font") << fonts << 1 << u"12pt Times New Roman left"_s;
    QTest::newRow("font back") << fonts << 2 << u"12pt Verdana left"_s;
    QTest::newRow("plain font") << fonts << 3 << u"12pt Verdana left"_s;

    const QByteArray colors("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue128;}"
                            "\\cf2 a\\cf1 b\\cf0 c\\cf9 d}");
    QTest::newRow("colour 2") << colors << 0 << u"12pt #000080 left"_s;
    QTest::newRow("colour 1") << colors << 1 << u"12pt #ff0000 left"_s;
    QTest::newRow("auto colour") << colors << 2 << u"12pt left"_s;
    QTest::newRow("missing colour") << colors << 3 << u"12pt left"_s;

    const QByteArray aligned("{\\rtf1\\qc a\\par\\pard b\\par\\qr c\\par\\qj d\\par\\ql e}");
    QTest::newRow("centred") << aligned << 0 << u"12pt center"_s;
    QTest::newRow("pard") << aligned << 2 << u"12pt left"_s;
    QTest::newRow("right") << aligned << 4 << u"12pt right"_s;
    QTest::newRow("justified") << aligned << 6 << u"12pt justify"_s;
    QTest::newRow("left") << aligned << 8 << u"12pt left"_s;
}

void TestRtfReader::format()
{
    QFETCH(QByteArray, rtf);
    QFETCH(int, position);
    QFETCH(QString, expected);
    QTextDocument document;
    readRtf(rtf, document);
    QCOMPARE(describe(document, position), expected);
}

void TestRtfReader::damaged_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("not rtf") << QByteArray("plain words") << u"plain words"_s;
    QTest::newRow("unclosed groups") << QByteArray("{\\rtf1{\\b bold{\\i more") << u"boldmore"_s;
    QTest::newRow("cut in word") << QByteArray("{\\rtf1 text\\pa") << u"text"_s;
    QTest::newRow("cut after backslash") << QByteArray("{\\rtf1 text\\") << u"text"_s;
    QTest::newRow("cut in hex") << QByteArray("{\\rtf1 text\\'4") << u"text"_s;
    QTest::newRow("cut before hex") << QByteArray("{\\rtf1 text\\'") << u"text"_s;
    QTest::newRow("bad hex") << QByteArray("{\\rtf1 a\\'zzb}") << u"azzb"_s;
    QTest::newRow("cut in fallback") << QByteArray("{\\rtf1 \\uc4\\u8364 ab") << u"\u20AC"_s;
    QTest::newRow("cut in font table") << QByteArray("{\\rtf1{\\fonttbl{\\f0 Verd") << QString();
    QTest::newRow("huge unicode") << QByteArray("{\\rtf1 a\\u99999999999999 ?b}") << u"ab"_s;
    QTest::newRow("huge font and colour") << QByteArray("{\\rtf1\\f-99999999999999\\cf99999999999999 a}") << u"a"_s;
    QTest::newRow("huge binary") << QByteArray("{\\rtf1 a{\\pict\\bin99999999999 xyz}b}") << u"a"_s;
    QTest::newRow("nul bytes") << QByteArray("{\\rtf1 a\0b}", 11) << u"ab"_s;
    QTest::newRow("text after end") << QByteArray("{\\rtf1 a}b") << u"a"_s;
    QTest::newRow("stray close") << QByteArray("}a}") << u"a"_s;

    const int deep = 100000;
    QTest::newRow("deep open") << QByteArray(deep, '{') + "deep" << u"deep"_s;
    QTest::newRow("deep balanced") << "{\\rtf1 " + QByteArray(deep, '{') + "x" + QByteArray(deep, '}') + "y}"
                                   << u"xy"_s;
    QTest::newRow("deep skipped") << "{\\rtf1 a{\\*" + QByteArray(deep, '{') + "x" + QByteArray(deep, '}') + "}b}"
                                  << u"ab"_s;
}

void TestRtfReader::damaged()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(read(rtf), expected);
}

// The help file must use only what the reader understands: no markup may leak into the text.
void TestRtfReader::helpDocument()
{
    QFile file(QFINDTESTDATA("../resources/beside/Help.rtf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray rtf = file.readAll();
    for (const char c : rtf)
        QVERIFY2(static_cast<unsigned char>(c) < 0x80, "the help file is plain ASCII");
    QTextDocument document;
    readRtf(rtf, document);
    const QString text = textOf(document);
    QVERIFY(text.contains(QLatin1String("data.enc")));
    for (const QChar c : {QLatin1Char('\\'), QLatin1Char('{'), QLatin1Char('}')})
        QVERIFY2(!text.contains(c), qPrintable(QStringLiteral("markup left in the text: ") + c));
    QVERIFY(describe(document, 0).startsWith(QLatin1String("bold")));
}

void TestRtfReader::hugeTablesAreCut()
{
    // 20,000 fonts and colours: the first 256 of each are kept, later ones read as the defaults.
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl";
    for (int i = 0; i < 20'000; ++i)
        rtf += "{\\f" + QByteArray::number(i) + " Family" + QByteArray::number(i) + ";}";
    rtf += "}{\\colortbl;";
    for (int i = 1; i < 20'000; ++i)
        rtf += "\\red" + QByteArray::number(i % 256) + "\\green0\\blue" + QByteArray::number(i / 256) + ";";
    rtf += "}{\\f10\\cf10 kept}{\\f300\\cf300 cut}\\par}";
    QTextDocument document;
    QVERIFY(readRtf(rtf, document)); // no text was left out
    QCOMPARE(textOf(document), QStringLiteral("keptcut\n"));
    QCOMPARE(describe(document, 0), QStringLiteral("12pt #0a0000 Family10 left"));
    QCOMPARE(describe(document, 4), QStringLiteral("12pt left")); // neither font nor colour of its own
}

QTEST_MAIN(TestRtfReader)
#include "test_rtf_reader.moc"
