#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "alarmtype.h"
#include "eventcatalogue.h"
#include "journalrecord.h"
#include "lampstate.h"

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QVector>

#include <array>
#include <functional>
#include <memory>

class AcknowledgementPanel;
class AlarmSound;
class ControllerList;
class ControllersDialog;
class EventTables;
class Journal;
class JournalView;
class LampBlinker;
class MqttBinder;
class QAction;
class QLabel;
class QMenu;
class QTableWidget;
class QTimer;
class SettingsDialog;
class SiteEngine;
class SitePanel;
class SiteSession;

namespace Ui {
class MainWindow;
}

// The console's window: the lamp panel driven by the controller's Vpk, the
// current and all-events tables, the looping alarm and the tray, bound to
// the engine that polls and journals. With two or more polled controllers it
// watches the whole site: a panel of controllers, a controller column in the
// tables, one worker per port.
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
    SiteSession *siteSession() const;
    SiteEngine *engine() const { return watch; }
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
    void fitTexts();
    void createSiteWidgets();
    void startSite(const ControllerList &list);
    void showSite(bool on);
    void connectSite();
    void eventSeen(int id, bool current, const AlarmType &alarm, qint64 journalId,
                   const JournalRecord &record);
    void listCleared(int id, bool current, bool hadShown);
    void siteLost(const QString &text);
    void showSelectedLamps();
    void showNoAnswer();
    void stopAlarmWhenSettled();
    void quitWhenWorkersEnded();
    void createTray();
    void createEngine();
    void setPollingActions(bool polling);
    void createJournal();
    void createPublishing();
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
    SiteEngine *watch = nullptr;
    QPointer<SiteSession> shownSite; // the session the panel shows
    AlarmSound *alarmSound = nullptr;
    std::function<bool()> trayAvailable;
    EventTables *tables = nullptr;
    SitePanel *sitePanel = nullptr;
    QLabel *noAnswerLabel = nullptr;
    bool singleAnswering = true;
    Journal *journal = nullptr;
    JournalView *journalView = nullptr;
    AcknowledgementPanel *acknowledgements = nullptr;
    MqttBinder *mqttBinder = nullptr;
    bool journalWarned = false;
    QString panelTitle;

    std::unique_ptr<LampBlinker> lampPanel;
};

#endif // MAINWINDOW_H
