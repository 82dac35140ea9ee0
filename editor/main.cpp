#include "mainwindow.h"
#include "startupfile.h"
#include "translations.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Decoded before QApplication exists, from the bytes as they arrived; on
    // Windows they are read as CP1251 whatever the system's code page.
    if (argc > 1)
        StartupFile::setName(StartupFile::fromArgument(argv[1]));

    QApplication app(argc, argv);
    Translations::install(&app);
    MainWindow window;
    window.show();
    return app.exec();
}
