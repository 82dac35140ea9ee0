// Stands in for TarvikEditor or TarvikScada in the demo (scripts/screenshots.sh):
// builds the real main window, presses Read or EnablePoll as a user would, waits
// for the window to fill, then saves it as editor.png or console.png (or
// $TARVIK_SHOT_NAME) in $TARVIK_SHOT_DIR. The console acknowledges its first
// event first, so both looks of a row show, and leaves the shift's report
// there as shift-report.pdf.
#include "mainwindow.h"
#include "translations.h"
#ifndef TARVIK_SHOT_EDITOR
#include "acknowledgementpanel.h"
#include "shiftreportdocument.h"
#endif

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>

#include <functional>

namespace {

constexpr int TimeLimitMs = 90000;

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

#ifdef TARVIK_SHOT_EDITOR
const char pressed[] = "actionRead";
const char fileName[] = "editor.png";

bool filled(const QMainWindow &window)
{
    return window.findChild<QAction *>(pressed)->isEnabled()
           && window.statusBar()->currentMessage().trimmed() == QStringLiteral("Данные прочитаны");
}

bool finish(QMainWindow &, const QString &)
{
    return true;
}
#else
const char pressed[] = "actionEnablePoll";
const char fileName[] = "console.png";

// Events in the current table and a lamp besides "Работа" lit.
bool filled(const QMainWindow &window)
{
    int lit = 0;
    const auto labels = window.findChildren<QLabel *>();
    for (const QLabel *label : labels) {
        const QString name = label->objectName();
        if (name.startsWith(QLatin1String("label_")) && !name.endsWith(QLatin1String("_grey"))
            && label->text().contains(QLatin1String("<img")) && label->isVisible())
            ++lit;
    }
    return window.findChild<QTableWidget *>(QStringLiteral("tableAlarmCurrent"))->rowCount() >= 2
           && lit >= 2;
}

bool finish(QMainWindow &window, const QString &folder)
{
    auto *panel = window.findChild<AcknowledgementPanel *>();
    panel->acknowledgeRow(0);
    QString error;
    const QString path = folder + QStringLiteral("/shift-report.pdf");
    const int pages = ShiftReportDocument(panel->report(panel->duty().shiftStart(), QDateTime::currentDateTime()))
                          .writePdf(path, &error);
    err() << "report " << path << ": " << pages << " pages " << error << Qt::endl;
    return pages > 0;
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Translations::install(&app);
    const QString output = qEnvironmentVariable("TARVIK_SHOT_DIR") + QLatin1Char('/')
                           + qEnvironmentVariable("TARVIK_SHOT_NAME", QLatin1String(fileName));
    MainWindow window;
    window.show();
    // No window manager runs under Xvfb: give the window what a maximised or a
    // placed window gets on a desktop.
    const QRect screen = window.screen()->availableGeometry();
    if (window.isMaximized() || window.windowState() & Qt::WindowMaximized)
        window.setGeometry(screen);
    else
        window.move(screen.topLeft());
    err() << "window " << window.width() << 'x' << window.height() << ", needs at least "
          << window.minimumSizeHint().width() << 'x' << window.minimumSizeHint().height() << Qt::endl;

    QTimer::singleShot(1000, &window, [&window] { window.findChild<QAction *>(pressed)->trigger(); });
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        const bool done = clock.elapsed() > 3000 && filled(window);
        if (!done && clock.elapsed() < TimeLimitMs)
            return;
        if (!done)
            err() << "screenshot: the window did not fill in time" << Qt::endl;
        const bool finished = !done || finish(window, qEnvironmentVariable("TARVIK_SHOT_DIR"));
        const bool saved = finished && window.grab().save(output);
        if (!saved)
            err() << "screenshot: cannot save " << output << Qt::endl;
        app.exit(done && saved ? 0 : 1);
    });
    poll.start(500);
    return app.exec();
}
