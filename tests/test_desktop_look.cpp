// What a person sees: nothing lies over a box, button or list; the skin's colours are painted;
// captions and fonts stay whole whatever the desktop's font; password boxes show "*".
#include "support/TestProgram.h"
#include "windows/platform/PictureButton.h"
#include "windows/skin/SkinEngine.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>
#include <QWebEngineView>
#include <algorithm>
#include <memory>

namespace {

// A desktop whose font is large, for every kind of widget, as desktop themes set it.
class LargeDesktopFonts {
public:
    LargeDesktopFonts() : m_saved(QApplication::font())
    {
        QFont big = m_saved;
        big.setPointSizeF(17);
        QApplication::setFont(big);
        for (const char* kind : {"QPushButton", "QLabel", "QAbstractItemView", "QHeaderView", "QStatusBar", "QMenuBar",
                                 "QCheckBox", "QMenu", "QLineEdit"})
            QApplication::setFont(big, kind);
    }
    ~LargeDesktopFonts() { QApplication::setFont(m_saved); } // also forgets the fonts per kind

private:
    QFont m_saved;
};

// What a user clicks or types into.
QList<QWidget*> controlsOf(QWidget* window)
{
    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->isWindow() || qobject_cast<QHeaderView*>(w))
            continue;
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QTreeView*>(w) ||
            qobject_cast<QTextEdit*>(w) || qobject_cast<QWebEngineView*>(w))
            controls.append(w);
    }
    return controls;
}

QString nameOf(const QWidget* w)
{
    return w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className()) : w->objectName();
}

bool near(QColor a, QColor b, int tolerance)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

// The pixel of the image farthest from the background: the core of the text's strokes.
QColor inkOf(const QImage& image, QColor background)
{
    QColor ink = background;
    int farthest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int d = qAbs(c.red() - background.red()) + qAbs(c.green() - background.green()) +
                          qAbs(c.blue() - background.blue());
            if (d > farthest) {
                farthest = d;
                ink = c;
            }
        }
    }
    return ink;
}

// Whether text of this colour, smoothed into the background, paints this ink: the ink lies on the
// way from the background to the colour, at least half-way.
bool inkOfColour(QColor ink, QColor background, QColor colour)
{
    const int spans[] = {colour.red() - background.red(), colour.green() - background.green(),
                         colour.blue() - background.blue()};
    const int got[] = {ink.red() - background.red(), ink.green() - background.green(), ink.blue() - background.blue()};
    const auto widest = std::max_element(spans, spans + 3, [](int a, int b) { return qAbs(a) < qAbs(b); }) - spans;
    const double t = double(got[widest]) / spans[widest];
    if (t < 0.5 || t > 1.05)
        return false;
    for (int i = 0; i < 3; ++i) {
        if (qAbs(got[i] - t * spans[i]) > 3)
            return false;
    }
    return true;
}

QColor skinColour(const TestProgram& p, ResultWith<qint32> (SkinEngine::*which)() const)
{
    return SkinEngine::fromRgbValue((p.ctx->skinEngine.*which)().value);
}

} // namespace

class TestDesktopLook : public QObject {
    Q_OBJECT
private slots:
    void nothingLiesOverAControl_data();
    void nothingLiesOverAControl();
    void skinColoursArePainted_data();
    void skinColoursArePainted();
    void captionsStayWhole_data();
    void captionsStayWhole();
    void fontsFollowTheTablesNotTheDesktop_data();
    void fontsFollowTheTablesNotTheDesktop();
    void passwordBoxesShowStars();
    void windowLookupIsExact_data();
    void windowLookupIsExact();
};

void TestDesktopLook::nothingLiesOverAControl_data()
{
    TestProgram::addWindowRows();
}

void TestDesktopLook::nothingLiesOverAControl()
{
    QFETCH(QString, window);
    TestProgram p;
    QWidget* w = p.openWindow(window);
    QVERIFY(w && w->isVisible());
    const QList<QWidget*> controls = controlsOf(w);
    QVERIFY(window == QLatin1String("about") || controls.size() >= 2); // About has labels only
    for (QWidget* control : controls) {
        const QRect r = control->rect();
        for (const QPoint corner : {QPoint(2, 2), QPoint(r.width() - 3, 2), QPoint(2, r.height() - 3),
                                    QPoint(r.width() - 3, r.height() - 3)}) {
            QWidget* hit = w->childAt(control->mapTo(w, corner));
            QVERIFY2(hit == control || control->isAncestorOf(hit),
                     qPrintable(QStringLiteral("%1 at (%2, %3) is under %4")
                                    .arg(nameOf(control))
                                    .arg(corner.x())
                                    .arg(corner.y())
                                    .arg(hit ? nameOf(hit) : QStringLiteral("nothing"))));
        }
    }
}

void TestDesktopLook::skinColoursArePainted_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text"); // typed into a box, to see the fore colour
    QTest::newRow("gate Ok") << "gate verify"
                             << "cmdOK" << QString();
    QTest::newRow("gate password") << "gate verify"
                                   << "txtPassword" << QString();
    QTest::newRow("main Add") << "main"
                              << "cmdAdd" << QString();
    QTest::newRow("main Copy Used At") << "main"
                                       << "cmdCopy_2" << QString();
    QTest::newRow("main list") << "main"
                               << "entryList" << QString();
    QTest::newRow("editor Save") << "editor"
                                 << "cmdSave" << QString();
    QTest::newRow("editor username") << "editor"
                                     << "txtUsername" << QStringLiteral("alice");
    QTest::newRow("browser Go") << "browser"
                                << "cmdGo" << QString();
    QTest::newRow("browser address") << "browser"
                                     << "txtAddress" << QStringLiteral("www");
    QTest::newRow("about picture box") << "about"
                                       << "banner" << QString();
}

void TestDesktopLook::skinColoursArePainted()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, text);
    TestProgram p;
    QWidget* w = p.openWindow(window);
    QVERIFY(w && !w->styleSheet().isEmpty()); // the skin is in force
    auto* c = w->findChild<QWidget*>(control);
    QVERIFY(c);
    if (auto* box = qobject_cast<QLineEdit*>(c))
        box->setText(text);
    const QImage image = c->grab().toImage();
    const bool picture = control == QLatin1String("banner");
    const QColor expected = skinColour(p, picture ? &SkinEngine::panelColor : &SkinEngine::backColor);
    // Inside the border and the padding, where the control shows nothing but its background; a
    // picture box beside its picture, which is narrower than the box.
    const QPoint sample = picture                             ? QPoint(image.width() - 2, image.height() / 2)
                          : qobject_cast<QAbstractButton*>(c) ? QPoint(5, image.height() / 2)
                                                              : QPoint(image.width() - 8, image.height() - 5);
    QVERIFY2(near(image.pixelColor(sample), expected, 1),
             qPrintable(QStringLiteral("painted %1, skin %2").arg(image.pixelColor(sample).name(), expected.name())));
    if (!text.isEmpty() || control == QLatin1String("entryList")) {
        // The list's rows, not its header, hold its text.
        const QImage rows = control == QLatin1String("entryList") ? image.copy(4, 30, 60, 12) : image;
        const QColor ink = inkOf(rows, expected);
        const QColor fore = skinColour(p, &SkinEngine::foreColor);
        QVERIFY2(inkOfColour(ink, expected, fore),
                 qPrintable(QStringLiteral("text %1, fore %2").arg(ink.name(), fore.name())));
    }
}

void TestDesktopLook::captionsStayWhole_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("largeFont");
    for (const char* name : {"main", "editor", "browser"}) {
        QTest::newRow(name) << QString::fromLatin1(name) << false;
        QTest::newRow(qPrintable(QStringLiteral("%1, large desktop font").arg(QLatin1String(name))))
            << QString::fromLatin1(name) << true;
    }
}

void TestDesktopLook::captionsStayWhole()
{
    QFETCH(QString, window);
    QFETCH(bool, largeFont);
    std::unique_ptr<LargeDesktopFonts> fonts;
    if (largeFont)
        fonts = std::make_unique<LargeDesktopFonts>();
    TestProgram p;
    QWidget* w = p.openWindow(window);
    QVERIFY(w);
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    const QList<PictureButton*> buttons = w->findChildren<PictureButton*>();
    QVERIFY(!buttons.isEmpty());
    for (PictureButton* b : buttons) {
        for (const bool focused : {false, true}) {
            if (focused) {
                b->setFocus();
                QVERIFY(b->hasFocus());
            } else {
                b->clearFocus();
            }
            const QString where = b->text() + (focused ? QStringLiteral(", focused") : QString());
            const QRect caption = b->placement().caption;
            QVERIFY2(b->contentsRectangle().contains(caption), qPrintable(where));
            QVERIFY2(caption.width() > b->fontMetrics().horizontalAdvance(b->text()), qPrintable(where));
            QVERIFY2(caption.height() >= b->fontMetrics().height(), qPrintable(where));
            QVERIFY2(!b->placement().picture.intersects(caption), qPrintable(where));
            // And the caption is painted there: strokes far darker than the button's face.
            const QImage image = b->grab().toImage();
            const QColor face = image.pixelColor(5, image.height() / 2);
            const QColor ink = inkOf(image.copy(caption), face);
            QVERIFY2(qGray(face.rgb()) - qGray(ink.rgb()) > 100, qPrintable(where));
        }
    }
}

void TestDesktopLook::fontsFollowTheTablesNotTheDesktop_data()
{
    TestProgram::addWindowRows();
}

void TestDesktopLook::fontsFollowTheTablesNotTheDesktop()
{
    QFETCH(QString, window);
    LargeDesktopFonts fonts;
    TestProgram p;
    QWidget* w = p.openWindow(window);
    QVERIFY(w);
    // Verdana 8.25 pt throughout; the About window's labels are 12 and 14.25 pt.
    for (QWidget* control : w->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(w) || control->isWindow())
            continue;
        const double points = control->font().pointSizeF();
        QVERIFY2(points == 8.25 || points == 12 || points == 14.25,
                 qPrintable(QStringLiteral("%1: %2 pt").arg(nameOf(control)).arg(points)));
    }
}

void TestDesktopLook::passwordBoxesShowStars()
{
    TestProgram p;
    QWidget* gate = p.openWindow(QStringLiteral("gate create"));
    for (const char* name : {"txtPassword", "txtRetype"}) {
        auto* box = gate->findChild<QLineEdit*>(QLatin1String(name));
        QVERIFY(box && box->isVisible());
        box->setText(QStringLiteral("abc"));
        const QImage masked = box->grab().toImage();
        box->setEchoMode(QLineEdit::Normal);
        box->setText(QStringLiteral("***"));
        QCOMPARE(masked, box->grab().toImage());
    }
}

void TestDesktopLook::windowLookupIsExact_data()
{
    QTest::addColumn<QList<quint64>>("handles");
    QTest::addColumn<qint32>("asked");
    QTest::addColumn<int>("found"); // index of the window, or -1
    QTest::newRow("32 bits") << QList<quint64>{0x2A00005, 0x2C00003} << qint32(0x2C00003) << 1;
    QTest::newRow("64-bit handles") << QList<quint64>{0x7F31'2A40'0010, 0x7F31'2A40'9F80} << qint32(0x2A409F80) << 1;
    QTest::newRow("upper half set") << QList<quint64>{0x5555'0000'8000'0001} << qint32(0x80000001) << 0;
    QTest::newRow("no such window") << QList<quint64>{0x7F31'2A40'0010} << qint32(0x2A400011) << -1;
    QTest::newRow("two share the bits") << QList<quint64>{0x1'0000'0010, 0x2'0000'0010} << qint32(0x10) << -1;
    QTest::newRow("not created yet") << QList<quint64>{0} << qint32(0) << -1;
}

void TestDesktopLook::windowLookupIsExact()
{
    QFETCH(QList<quint64>, handles);
    QFETCH(qint32, asked);
    QFETCH(int, found);
    std::vector<std::unique_ptr<QWidget>> owned;
    QList<QWidget*> windows;
    QHash<const QWidget*, WId> ids;
    for (quint64 h : handles) {
        owned.push_back(std::make_unique<QWidget>());
        windows.append(owned.back().get());
        ids.insert(owned.back().get(), static_cast<WId>(h));
    }
    QWidget* result = SkinEngine::windowWithHandle(asked, windows, [&](const QWidget* w) { return ids.value(w); });
    QCOMPARE(result, found < 0 ? nullptr : windows[found]);
}

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestDesktopLook test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_desktop_look.moc"
