// The least a Qt program does to show a window: the start-up script measures Keyhaven's splash
// against it.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Keyhaven"));
    label.show();
    return app.exec();
}
