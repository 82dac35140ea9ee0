#include "mainwindow.h"
#include "translations.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Translations::install(&app);
    MainWindow window;
    window.show();
    return app.exec();
}
