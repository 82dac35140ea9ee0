#ifndef JOURNALWARNING_H
#define JOURNALWARNING_H

#include <QObject>

class Journal;
class QLabel;
class QStatusBar;
class QSystemTrayIcon;

// Tells the guard, without stopping anything, that the journal's file takes
// no rows: a status-bar text until writing works again, a tray message when
// it stops and the log at both moments. The watch goes on meanwhile; the
// journal holds the rows and writes them later.
class JournalWarning : public QObject
{
    Q_OBJECT

public:
    JournalWarning(Journal *journal, QStatusBar *statusBar, QSystemTrayIcon *tray);

    static QString text(const QString &reason);

private:
    void stopped(const QString &reason);
    void resumed();

    QLabel *label;
    QSystemTrayIcon *tray;
    bool told = false;
};

#endif // JOURNALWARNING_H
