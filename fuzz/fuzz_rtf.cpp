// Arbitrary bytes read as the help document, then laid out as the help window does.
#include "core/presentation/RtfReader.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <QTextOption>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Layout needs fonts, and fonts need an application; no display is needed. The application
    // gets its own arguments so that it cannot take the fuzzer's.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QTextDocument document;
    readRtf(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), document);
    // Narrower than the help window, wrapping like its text box.
    document.setDefaultTextOption(QTextOption(Qt::AlignLeft));
    QTextOption wrap = document.defaultTextOption();
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(wrap);
    document.setTextWidth(300);
    // Qt's layout stalls past 2^23 pixels; the reader stops long before that.
    if (document.size().height() >= (1 << 22)) {
        std::fprintf(stderr, "broken: document laid out %g pixels tall\n", document.size().height());
        std::abort();
    }
    (void)document.toPlainText();
    return 0;
}
