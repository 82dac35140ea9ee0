#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "alarmtype.h"
#include "eventcatalogue.h"
#include "journalrecord.h"
#include "lampstate.h"

#include <QMainWindow>
#include <QSystemTrayIcon>
#include <QVector>

#include <array>
#include <functional>

class AcknowledgementPanel;
class AlarmSound;
class ControllerList;
class ControllersDialog;
class EventTables;
class Journal;
class JournalView;
class MqttBinder;
class MyThread;
class QAction;
class QLabel;
class QMenu;
class QTableWidget;
class QTimer;
class SettingsDialog;
class SitePanel;
class SiteSession;

namespace Ui {
class MainWindow;
}

// The console's window: the lamp panel driven by the controller's Vpk, the
// current and all-events tables, the looping alarm and the tray. With two or
// more polled controllers it watches the whole site: a panel of controllers,
// a controller column in the tables, one worker per port.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Seams for tests: the window takes the sound; the check tells whether the
    // desktop has a notification area to hide the window in.
    void setAlarmSound(AlarmSound *sound);
    void setTrayAvailableCheck(std::function<bool()> check);

    // False once the workers have been stopped for the application's end.
    bool isWorkerRunning() const;
    // The site being polled, or null with one controller; for tests.
    SiteSession *siteSession() const { return site; }
    SitePanel *sitePanelWidget() const { return sitePanel; }

private slots:
    void on_actionExit_triggered();
    void on_actionSettings_triggered();
    void on_actionControllers_triggered();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

public slots:
    void trayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void Timer();
    void Message(const QString Texst);
    void TableAlarmAllSet(AlarmType Alarm);
    void TableAlarmAllClear();
    void TableAlarmCurrentSet(AlarmType Alarm);
    void TableAlarmCurrentClear();
    void VpkSet(quint32 Vpk);

private slots:
    void on_actionDisablePoll_triggered();
    void on_actionEnablePoll_triggered();
    void on_actionReset_triggered();
    void on_actionNoSound_triggered();

private:
    struct Lamp
    {
        QLabel *grey;
        QLabel *lit;
    };

    void fitTexts();
    void createSiteWidgets();
    void startSite(const ControllerList &list);
    void endSite();
    void connectSite();
    void siteEvent(int id, bool current, const AlarmType &alarm);
    void siteCleared(int id, bool current);
    void siteLost(int id);
    void siteRestored(int id);
    void showSelectedLamps();
    void showNoAnswer();
    void stopAlarmWhenSettled();
    int askResetController();
    void quitWhenWorkersEnded();
    void createTray();
    void createWorker();
    void collectLamps();
    void drawLamps();
    void setPollingActions(bool polling);
    void createJournal();
    void createPublishing();
    qint64 journalEvent(const QString &list, const AlarmType &alarm, int controller = -1,
                        JournalRecord *written = nullptr);
    void journalNote(const QString &kind, const QString &list = QString(),
                     const QString &name = QString(), int controller = -1);
    qint64 writeToJournal(JournalRecord &record, int controller);
    void warnAboutJournal(const QString &text);
    void stopWorker();
    bool canHideInTray() const;
    void showSoundProblem(const QString &problem);
    void endApplication();

    EventCatalogue catalogue;
    Ui::MainWindow *ui;
    QAction *minimizeAction = nullptr;
    QAction *restoreAction = nullptr;
    QAction *quitAction = nullptr;
    QMenu *trayIconMenu = nullptr;
    QSystemTrayIcon *trayIcon = nullptr;
    bool quitting = false;
    bool quitWhenWorkerEnds = false;
    SettingsDialog *settingsDialog = nullptr;
    QTimer *timer = nullptr;
    MyThread *worker = nullptr;
    AlarmSound *alarmSound = nullptr;
    std::function<bool()> trayAvailable;
    EventTables *tables = nullptr;
    SitePanel *sitePanel = nullptr;
    SiteSession *site = nullptr;
    bool sitePolling = false;
    QLabel *noAnswerLabel = nullptr;
    bool singleAnswering = true;
    Journal *journal = nullptr;
    JournalView *journalView = nullptr;
    AcknowledgementPanel *acknowledgements = nullptr;
    MqttBinder *mqttBinder = nullptr;
    bool journalWarned = false;
    QString pollPort;  // the line of the current polling run, for the journal
    int pollSlave = 0;

    std::array<Lamp, LampState::LampCount> lamps{};
    LampState pendingLamps;
    LampState shownLamps;
    bool blinkPhase = false;
};

#endif // MAINWINDOW_H
