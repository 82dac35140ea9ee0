#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "acknowledgementpanel.h"
#include "controllersdialog.h"
#include "controllerlist.h"
#include "eventtablemenu.h"
#include "eventtables.h"
#include "helpwindow.h"
#include "journal.h"
#include "journalview.h"
#include "journalwarning.h"
#include "mediaalarmsound.h"
#include "mqttbinder.h"
#include "mythread.h"
#include "settingsdialog.h"
#include "shortcuttips.h"
#include "sitepanel.h"
#include "sitesession.h"
#include "textfit.h"
#include "windowstate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTextDocument>
#include <QStatusBar>
#include <QTimer>

#include <utility>

// The pictures live in a static library: without an explicit registration the
// linker drops them. Outside any namespace, as Q_INIT_RESOURCE requires.
static void registerResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(console);
        return true;
    }();
    Q_UNUSED(registered);
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      catalogue(EventCatalogue::Console),
      ui(new Ui::MainWindow),
      trayAvailable([] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{
    registerResources();
    ui->setupUi(this);
    // The window hides in the tray and a box shown meanwhile may be the only
    // visible window: closing it must not end the program. The window ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    TextFit::useFormFont(this);
    fitTexts();

    createTray();
    quitting = false;

    settingsDialog = new SettingsDialog(this);

    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MainWindow::Timer);
    timer->start(500);

    createWorker();

    collectLamps();
    pendingLamps.clear();
    shownLamps.clear();
    blinkPhase = false;
    drawLamps();

    setPollingActions(false);

    setAlarmSound(new MediaAlarmSound);

    createJournal();
    tables = new EventTables(ui->tableAlarmCurrent, ui->tableAlarmAll, catalogue, this);
    createSiteWidgets();
    createPublishing();

    HelpWindow::addTo(this, ui->mainToolBar);
    ShortcutTips::install(ui->mainToolBar);
    (new WindowState(this, QStringLiteral("console"), ui->tabSelect))->restore();

    // However the application ends, the worker is stopped before the window
    // and its thread object go away.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &MainWindow::stopWorker);
}

MainWindow::~MainWindow()
{
    stopWorker();
    delete site;
    delete worker;
    delete ui;
}

void MainWindow::setAlarmSound(AlarmSound *sound)
{
    delete alarmSound;
    alarmSound = sound;
    alarmSound->setParent(this);
    connect(alarmSound, &AlarmSound::problemChanged, this, &MainWindow::showSoundProblem);
    showSoundProblem(alarmSound->problem());
}

void MainWindow::setTrayAvailableCheck(std::function<bool()> check)
{
    trayAvailable = std::move(check);
}

bool MainWindow::isWorkerRunning() const
{
    return (worker && worker->isRunning()) || (site && site->isRunning());
}

// The panel's captions and the tables' columns take what the desktop's font
// needs; the panel keeps room on its right as the form has it.
void MainWindow::fitTexts()
{
    constexpr int PanelRightMargin = 11;
    int right = 0;
    const auto labels = ui->groupBox->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    for (QLabel *label : labels) {
        if (Qt::mightBeRichText(label->text()))
            continue; // a lamp picture
        TextFit::fitLabel(label);
        right = qMax(right, label->x() + label->width());
    }
    ui->groupBox->setMinimumWidth(qMax(ui->groupBox->minimumWidth(), right + PanelRightMargin));

    QStringList names;
    for (int code = 0; code < 256; ++code) {
        names << catalogue.eventText(0, quint8(code))
              << catalogue.eventText(EventCatalogue::EndDeviceSource - 1, quint8(code));
    }
    for (QTableWidget *table : { ui->tableAlarmCurrent, ui->tableAlarmAll }) {
        TextFit::fitColumn(table, 0, names);
        TextFit::fitColumn(table, 1, { QStringLiteral("00:00:00") });
        TextFit::fitColumn(table, 2, { QStringLiteral("00.00.2000") });
    }
}

void MainWindow::createTray()
{
    minimizeAction = new QAction(tr("Свернуть"), this);
    connect(minimizeAction, &QAction::triggered, this, &QWidget::hide);
    restoreAction = new QAction(tr("Восстановить"), this);
    connect(restoreAction, &QAction::triggered, this, &QWidget::showNormal);
    quitAction = new QAction(tr("Выход"), this);
    connect(quitAction, &QAction::triggered, this, &MainWindow::endApplication);

    trayIconMenu = new QMenu(this);
    trayIconMenu->addAction(minimizeAction);
    trayIconMenu->addAction(restoreAction);
    trayIconMenu->addAction(quitAction);

    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setIcon(QIcon(QStringLiteral(":/images/Tarvik.png")));
    trayIcon->setContextMenu(trayIconMenu);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::trayIconActivated);
    trayIcon->show();
}

void MainWindow::createWorker()
{
    worker = new MyThread;
    connect(worker, &MyThread::Signal, this, &MainWindow::Message);
    qRegisterMetaType<AlarmType>("AlarmType");
    connect(worker, &MyThread::SignalAlarmAll, this, &MainWindow::TableAlarmAllSet);
    connect(worker, &MyThread::SignalAlarmAllClear, this, &MainWindow::TableAlarmAllClear);
    connect(worker, &MyThread::SignalAlarmCurrent, this, &MainWindow::TableAlarmCurrentSet);
    connect(worker, &MyThread::SignalAlarmCurrentClear, this,
            &MainWindow::TableAlarmCurrentClear);
    connect(worker, &MyThread::SignalVpk, this, &MainWindow::VpkSet);
    connect(worker, &MyThread::answeringChanged, this, [this](bool answering) {
        singleAnswering = answering;
        showNoAnswer();
    });
    connect(worker, &QThread::finished, this, &MainWindow::quitWhenWorkersEnded);
    worker->start(QThread::InheritPriority);
}

// Before anything can be journaled: the worker is parked until polling starts.
void MainWindow::createJournal()
{
    journal = new Journal(this);
    connect(journal, &Journal::failed, this, &MainWindow::warnAboutJournal);
    // Writes that fail while the watch goes on: status bar, tray, log.
    new JournalWarning(journal, statusBar(), trayIcon);
    const bool usable = journal->open(Journal::defaultPath());
    if (!journal->problem().isEmpty()) {
        // After the window is up, so the box comes in front of it.
        QTimer::singleShot(0, this, [this, text = journal->problem()] { warnAboutJournal(text); });
    }
    journalView = new JournalView(this);
    if (usable)
        journalView->setJournal(journal);
    ui->tabSelect->addTab(journalView, tr("Журнал"));
    new EventTableMenu(ui->tableAlarmCurrent);
    new EventTableMenu(ui->tableAlarmAll);
    acknowledgements = new AcknowledgementPanel(this, ui->tableAlarmCurrent, journal);
    acknowledgements->setLampSource([this] { return pendingLamps; }, [this] {
        const int id = sitePanel->selectedId();
        return sitePolling && id >= 0 && id < site->controllers().size() ? site->name(id) : QString();
    });
    connect(acknowledgements, &AcknowledgementPanel::allAcknowledged, this, [this] {
        if (!sitePolling || site->lostIds().isEmpty())
            alarmSound->stop(); // a lost controller goes on sounding
    });
}

// Off unless the user turned it on; it never waits on the network.
void MainWindow::createPublishing()
{
    mqttBinder = new MqttBinder(journal, settingsDialog, this);
    mqttBinder->watch(worker);
    // With the link commands, before the guard's (nullptr: at the end).
    QAction *firstSeparator = nullptr;
    for (QAction *action : ui->mainToolBar->actions()) {
        if (action->isSeparator()) {
            firstSeparator = action;
            break;
        }
    }
    ui->mainToolBar->insertAction(firstSeparator, mqttBinder->action());
    statusBar()->addPermanentWidget(mqttBinder->statusLabel());
}

// Shown once and without blocking: the watch must never wait on the journal.
void MainWindow::warnAboutJournal(const QString &text)
{
    auto *label = findChild<QLabel *>(QStringLiteral("labelJournalProblem"));
    if (!label) { // permanent: hovering the tool bar would wipe a status message
        label = new QLabel(this);
        label->setObjectName(QStringLiteral("labelJournalProblem"));
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // never widens the window
        statusBar()->addPermanentWidget(label, 1);
    }
    label->setText(text);
    label->setToolTip(text);
    if (journalWarned)
        return;
    journalWarned = true;
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Внимание"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

qint64 MainWindow::journalEvent(const QString &list, const AlarmType &alarm, int controller,
                                JournalRecord *written)
{
    JournalRecord record = JournalRecord::event(list, alarm, catalogue.eventText(alarm.source, alarm.code));
    const qint64 id = writeToJournal(record, controller);
    if (written)
        *written = record;
    return id;
}

void MainWindow::journalNote(const QString &kind, const QString &list, const QString &name,
                             int controller)
{
    JournalRecord record = JournalRecord::note(kind, list, name);
    writeToJournal(record, controller);
}

// A site's record names its controller; a single controller's stays unnamed.
qint64 MainWindow::writeToJournal(JournalRecord &record, int controller)
{
    if (site && controller >= 0) {
        const ControllerEntry &entry = site->controllers().at(controller);
        record.port = entry.linkName();
        record.slave = entry.address;
        record.controller = entry.name;
    } else {
        record.port = pollPort;
        record.slave = pollSlave;
    }
    return journal->append(record);
}

void MainWindow::collectLamps()
{
    lamps[LampState::JobLamp] = { ui->label_Job_grey, ui->label_Job_green };
    lamps[LampState::ThresCoLamp] = { ui->label_ThresCO_grey, ui->label_ThresCO_red };
    lamps[LampState::FaultLamp] = { ui->label_Fault_grey, ui->label_Fault_yellow };
    lamps[LampState::FireLamp] = { ui->label_Fire_grey, ui->label_Fire_red };
    lamps[LampState::ThresChLamp] = { ui->label_ThresCH_grey, ui->label_ThresCH_red };
    lamps[LampState::AlarmPLamp] = { ui->label_AlarmP_grey, ui->label_AlarmP_red };
    lamps[LampState::BreakingLamp] = { ui->label_Breaking_grey, ui->label_Breaking_red };
    lamps[LampState::ValveCloseLamp] = { ui->label_ValveClose_grey, ui->label_ValveClose_red };
    lamps[LampState::AlarmTLamp] = { ui->label_AlarmT_grey, ui->label_AlarmT_red };
}

void MainWindow::drawLamps()
{
    for (int i = 0; i < LampState::LampCount; ++i) {
        const bool lit = shownLamps.isLit(LampState::Lamp(i), blinkPhase);
        lamps[i].lit->setVisible(lit);
        lamps[i].grey->setVisible(!lit);
    }
}

void MainWindow::setPollingActions(bool polling)
{
    ui->actionEnablePoll->setEnabled(!polling);
    ui->actionSettings->setEnabled(!polling);
    ui->actionControllers->setEnabled(!polling);
    ui->actionDisablePoll->setEnabled(polling);
    ui->actionNoSound->setEnabled(polling);
    ui->actionReset->setEnabled(polling);
}

void MainWindow::on_actionExit_triggered()
{
    quitting = true;
    close();
}

void MainWindow::on_actionSettings_triggered()
{
    settingsDialog->exec();
}

// The first row is the settings dialog's link: a dialog made afresh shows
// what was stored here.
void MainWindow::on_actionControllers_triggered()
{
    ControllersDialog dialog(this);
    dialog.setControllers(ControllerList::load());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!dialog.controllers().save())
        QMessageBox::warning(this, tr("Внимание"), tr("Список контроллеров не удалось сохранить."));
    delete settingsDialog;
    settingsDialog = new SettingsDialog(this);
}

bool MainWindow::canHideInTray() const
{
    return trayIcon->isVisible() && trayAvailable && trayAvailable();
}

// Without a notification area a hidden window could never come back, so
// there closing ends the program.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!quitting && canHideInTray()) {
        hide();
        event->ignore();
        return;
    }
    event->accept();
    endApplication();
}

void MainWindow::trayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
        showNormal();
}

void MainWindow::Timer()
{
    blinkPhase = !blinkPhase;
    shownLamps = pendingLamps;
    drawLamps();
}

void MainWindow::Message(const QString Texst)
{
    if (quitting)
        return; // a failure reported while the worker ends is no news
    singleAnswering = true;
    showNoAnswer();
    journalNote(JournalRecord::LineFailure, QString(), QString(Texst).replace(QLatin1Char('\n'), QString()));
    QMessageBox box(QMessageBox::Critical, tr("Внимание"), Texst, QMessageBox::Ok, this);
    box.exec();
    setPollingActions(false);
}

void MainWindow::TableAlarmAllSet(AlarmType Alarm)
{
    journalEvent(JournalRecord::AllList, Alarm);
    tables->append(EventTables::All, Alarm);
}

void MainWindow::TableAlarmAllClear()
{
    if (ui->tableAlarmAll->rowCount() > 0) // the worker reports an empty list in every cycle
        journalNote(JournalRecord::Cleared, JournalRecord::AllList);
    tables->clear(EventTables::All);
}

void MainWindow::TableAlarmCurrentSet(AlarmType Alarm)
{
    if (quitting)
        return; // an event read while the worker ends must not bring the window back
    JournalRecord record;
    const qint64 id = journalEvent(JournalRecord::CurrentList, Alarm, -1, &record);
    tables->append(EventTables::Current, Alarm);
    if (!acknowledgements->eventShown(ui->tableAlarmCurrent->rowCount() - 1, id, record))
        return; // sent again after its list shrank, and acknowledged already
    alarmSound->play();
    if (!isVisible())
        showNormal();
}

void MainWindow::TableAlarmCurrentClear()
{
    if (ui->tableAlarmCurrent->rowCount() > 0)
        journalNote(JournalRecord::Cleared, JournalRecord::CurrentList);
    tables->clear(EventTables::Current);
    alarmSound->stop();
}

void MainWindow::VpkSet(quint32 Vpk)
{
    pendingLamps = LampState::fromVpk(Vpk);
}

void MainWindow::on_actionDisablePoll_triggered()
{
    mqttBinder->pollingStopped();
    if (sitePolling) {
        site->pause();
        sitePolling = false;
    } else {
        worker->pause();
        singleAnswering = true;
    }
    showNoAnswer();
    setPollingActions(false);
    journalNote(JournalRecord::PollingStopped);
}

void MainWindow::on_actionEnablePoll_triggered()
{
    const ControllerList list = ControllerList::load();
    if (list.isSite()) {
        // The store may have been edited by hand since the dialog checked it.
        const QString problem = list.problem();
        if (problem.isEmpty())
            startSite(list);
        else
            QMessageBox::critical(this, tr("Внимание"), problem);
        return;
    }
    endSite();
    Settings settings = settingsDialog->settings();
    // The one polled controller need not be the first of the list.
    const QVector<int> polled = list.polled();
    if (polled.size() == 1 && polled.first() > 0) {
        settings = list.at(polled.first()); // its link alone
    }
    worker->setLink(settings.linkTarget());
    worker->resume();
    mqttBinder->singleStarted(settings);
    setPollingActions(true);
    pollPort = settings.linkName();
    pollSlave = settings.address;
    journalNote(JournalRecord::PollingStarted, QString(),
                tr("Порт %1, адрес %2").arg(pollPort).arg(settings.address));
}

void MainWindow::on_actionReset_triggered()
{
    if (!sitePolling) {
        journalNote(JournalRecord::Reset, JournalRecord::CurrentList);
        worker->requestReset();
        return;
    }
    const int id = askResetController();
    if (id < 0)
        return;
    journalNote(JournalRecord::Reset, JournalRecord::CurrentList, QString(), id);
    site->requestReset(id);
}

void MainWindow::on_actionNoSound_triggered()
{
    alarmSound->stop();
}

bool MainWindow::event(QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest)
        tables->followLastRows();
    return QMainWindow::event(event);
}

void MainWindow::showSoundProblem(const QString &problem)
{
    const QString noSound = tr("Отключить звук");
    ui->actionNoSound->setToolTip(problem.isEmpty() ? noSound : noSound + QLatin1Char('\n') + problem);
    trayIcon->setToolTip(problem);
}

// The window and the tray icon go at once. The worker may be inside a request
// on a silent line; it starts no other, and the application ends when it has
// finished, the event loop running meanwhile so nothing freezes on screen.
void MainWindow::endApplication()
{
    quitting = true;
    // A box or the settings dialog would stay up until the worker has ended.
    for (QDialog *dialog : findChildren<QDialog *>())
        dialog->hide();
    hide();
    trayIcon->hide();
    alarmSound->stop();
    quitWhenWorkerEnds = true;
    worker->requestStop();
    if (site)
        site->requestStop();
    quitWhenWorkersEnded();
}

void MainWindow::quitWhenWorkersEnded()
{
    if (!quitWhenWorkerEnds || !worker->isFinished() || (site && site->isRunning()))
        return;
    quitWhenWorkerEnds = false;
    QCoreApplication::quit();
}

void MainWindow::stopWorker()
{
    if (worker)
        worker->stopAndWait();
    if (site)
        site->stop();
}
