#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Tarvo Keyfolio"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Keyfolio"));
    window.showMaximized();
    return app.exec();
}
