// A console to be killed: the real window, polling at once from the stored
// settings. Prints "shown N" whenever the all-events table holds N rows.
// Usage: journalvictim <port>; it refuses to poll any other port.
#include "mainwindow.h"
#include "settingsdialog.h"

#include <QAction>
#include <QApplication>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window;
    const QString stored = window.findChild<SettingsDialog *>()->settings().portName;
    if (argc < 2 || stored != QString::fromLocal8Bit(argv[1])) {
        std::fprintf(stderr, "journalvictim: the stored port is \"%s\"\n", qPrintable(stored));
        return 2;
    }
    window.show();
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableAlarmAll"));
    QObject::connect(table->model(), &QAbstractItemModel::rowsInserted, [table] {
        std::printf("shown %d\n", table->rowCount());
        std::fflush(stdout);
    });
    QTimer::singleShot(0, window.findChild<QAction *>(QStringLiteral("actionEnablePoll")),
                       &QAction::trigger);
    return app.exec();
}
