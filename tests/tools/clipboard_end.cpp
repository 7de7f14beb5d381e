// Puts TEXT on the clipboard and ends the way the program ends, at once.
//   keyhaven_clipboard_end TEXT
#include "windows/platform/ProcessEnd.h"

#include <QApplication>
#include <QClipboard>
#include <QTimer>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    QApplication app(argc, argv);
    QApplication::clipboard()->setText(QString::fromLocal8Bit(argv[1]));
    ProcessEnd end;
    QTimer::singleShot(200, [&end] { end.endNow(); });
    return app.exec();
}
