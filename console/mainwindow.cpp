#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "acknowledgementpanel.h"
#include "alarmsound.h"
#include "controllersdialog.h"
#include "controllerlist.h"
#include "eventtablemenu.h"
#include "eventtables.h"
#include "helpwindow.h"
#include "journal.h"
#include "journalview.h"
#include "journalwarning.h"
#include "lampblinker.h"
#include "mediaalarmsound.h"
#include "mqttbinder.h"
#include "mythread.h"
#include "siteengine.h"
#include "settingsdialog.h"
#include "shortcuttips.h"
#include "sitepanel.h"
#include "sitesession.h"
#include "textfit.h"
#include "windowstate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
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

    lampPanel = std::make_unique<LampBlinker>(std::array<LampBlinker::Lamp, LampState::LampCount>{ {
        { ui->label_Job_grey, ui->label_Job_green },
        { ui->label_ThresCO_grey, ui->label_ThresCO_red },
        { ui->label_Fault_grey, ui->label_Fault_yellow },
        { ui->label_Fire_grey, ui->label_Fire_red },
        { ui->label_ThresCH_grey, ui->label_ThresCH_red },
        { ui->label_AlarmP_grey, ui->label_AlarmP_red },
        { ui->label_Breaking_grey, ui->label_Breaking_red },
        { ui->label_ValveClose_grey, ui->label_ValveClose_red },
        { ui->label_AlarmT_grey, ui->label_AlarmT_red },
    } });

    setPollingActions(false);

    setAlarmSound(new MediaAlarmSound);

    createJournal();
    tables = new EventTables(ui->tableAlarmCurrent, ui->tableAlarmAll, catalogue, this);
    createSiteWidgets();
    createPublishing();

    HelpWindow::addTo(this, ui->mainToolBar);
    ShortcutTips::install(ui->mainToolBar);
    (new WindowState(this, QStringLiteral("console"), ui->tabSelect))->restore();

    // However the application ends, the workers are stopped before the window
    // and their thread objects go away.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &MainWindow::stopWorker);
}

MainWindow::~MainWindow()
{
    stopWorker();
    delete watch;
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
    return watch && watch->isRunning();
}

SiteSession *MainWindow::siteSession() const
{
    return watch ? watch->siteSession() : nullptr;
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
    createEngine();
    journalView = new JournalView(this);
    if (usable)
        journalView->setJournal(journal);
    ui->tabSelect->addTab(journalView, tr("Журнал"));
    new EventTableMenu(ui->tableAlarmCurrent);
    new EventTableMenu(ui->tableAlarmAll);
    acknowledgements = new AcknowledgementPanel(this, ui->tableAlarmCurrent, journal);
    acknowledgements->setLampSource([this] { return lampPanel->pending(); }, [this] {
        return watch->isSitePolling() ? watch->controllerName(sitePanel->selectedId()) : QString();
    });
    connect(acknowledgements, &AcknowledgementPanel::allAcknowledged, this, [this] {
        if (!watch->isSitePolling() || watch->siteSession()->lostIds().isEmpty())
            alarmSound->stop(); // a lost controller goes on sounding
    });
}

// The single worker is parked until polling starts.
void MainWindow::createEngine()
{
    watch = new SiteEngine(journal, settingsDialog->settings(), SiteEngine::LineFailurePolicy::EndPolling);
    MyThread *worker = watch->singleWorker();
    connect(worker, &MyThread::SignalVpk, this, &MainWindow::VpkSet);
    connect(worker, &MyThread::answeringChanged, this, [this](bool answering) {
        singleAnswering = answering;
        showNoAnswer();
    });
    connect(watch, &SiteEngine::singleLineFailed, this, &MainWindow::Message);
    connect(watch, &SiteEngine::eventSeen, this, &MainWindow::eventSeen);
    connect(watch, &SiteEngine::listCleared, this, &MainWindow::listCleared);
    connect(watch, &SiteEngine::controllerLost, this, [this](int, const QString &text) { siteLost(text); });
    connect(watch, &SiteEngine::controllerRestored, this, &MainWindow::stopAlarmWhenSettled);
    connect(watch, &SiteEngine::workersFinished, this, &MainWindow::quitWhenWorkersEnded);
}

// Off unless the user turned it on; it never waits on the network.
void MainWindow::createPublishing()
{
    mqttBinder = new MqttBinder(watch->publishing(), this);
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
    lampPanel->tick();
}

void MainWindow::Message(const QString Texst)
{
    if (quitting)
        return; // a failure reported while the worker ends is no news
    singleAnswering = true;
    showNoAnswer();
    QMessageBox box(QMessageBox::Critical, tr("Внимание"), Texst, QMessageBox::Ok, this);
    box.exec();
    setPollingActions(false);
}

// The single controller's lists: the engine journals, then eventSeen() and
// listCleared() show.
void MainWindow::TableAlarmAllSet(AlarmType Alarm)
{
    watch->takeEvent(-1, false, Alarm);
}

void MainWindow::TableAlarmAllClear()
{
    watch->takeCleared(-1, false);
}

void MainWindow::TableAlarmCurrentSet(AlarmType Alarm)
{
    watch->takeEvent(-1, true, Alarm);
}

void MainWindow::TableAlarmCurrentClear()
{
    watch->takeCleared(-1, true);
}

void MainWindow::VpkSet(quint32 Vpk)
{
    lampPanel->setPending(LampState::fromVpk(Vpk));
}

void MainWindow::on_actionDisablePoll_triggered()
{
    if (!watch->isSitePolling())
        singleAnswering = true;
    watch->stop();
    showNoAnswer();
    setPollingActions(false);
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
    watch->start(list, settingsDialog->settings());
    showSite(false);
    setPollingActions(true);
}

void MainWindow::on_actionReset_triggered()
{
    if (!watch->isSitePolling()) {
        watch->requestReset();
        return;
    }
    const int id = sitePanel->askController(tr("Сброс текущих событий"), watch->siteSession()->polledIds());
    if (id >= 0)
        watch->requestReset(id);
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
    watch->requestEnd();
    quitWhenWorkersEnded();
}

void MainWindow::quitWhenWorkersEnded()
{
    if (!quitWhenWorkerEnds || watch->isRunning())
        return;
    quitWhenWorkerEnds = false;
    QCoreApplication::quit();
}

void MainWindow::stopWorker()
{
    if (watch)
        watch->waitEnded();
}

// The panel stands beside "Пульт" and is hidden with one controller, which
// leaves the window as it always was.
void MainWindow::createSiteWidgets()
{
    sitePanel = new SitePanel(ui->centralWidget);
    sitePanel->setMaximumHeight(ui->groupBox->maximumHeight());
    sitePanel->hide();
    const int index = ui->verticalLayout->indexOf(ui->groupBox);
    ui->verticalLayout->removeWidget(ui->groupBox);
    auto *row = new QHBoxLayout;
    row->setSpacing(ui->verticalLayout->spacing());
    row->addWidget(ui->groupBox, 1);
    row->addWidget(sitePanel);
    ui->verticalLayout->insertLayout(index, row);
    connect(sitePanel, &SitePanel::selectionChanged, this, &MainWindow::showSelectedLamps);

    noAnswerLabel = new QLabel(this);
    noAnswerLabel->setObjectName(QStringLiteral("labelNoAnswer"));
    noAnswerLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    noAnswerLabel->hide();
    statusBar()->addWidget(noAnswerLabel);
}

// A new session starts with empty tables and its own panel.
void MainWindow::startSite(const ControllerList &list)
{
    watch->start(list, settingsDialog->settings());
    if (watch->siteSession() != shownSite) {
        showSite(false);
        shownSite = watch->siteSession();
        connectSite();
        QVector<SitePanel::Entry> entries;
        for (int id = 0; id < list.size(); ++id)
            entries.append({ id, list.at(id).name });
        sitePanel->setControllers(entries);
        for (int id = 0; id < list.size(); ++id)
            sitePanel->setStatus(id, shownSite->status(id));
    }
    showSite(true);
    setPollingActions(true);
}

void MainWindow::showSite(bool on)
{
    if (!on)
        shownSite = nullptr;
    sitePanel->setVisible(on);
    tables->setSiteView(on);
    showSelectedLamps();
}

void MainWindow::connectSite()
{
    SiteSession *site = shownSite;
    connect(site, &SiteSession::statusChanged, this,
            [this, site](int id) { sitePanel->setStatus(id, site->status(id)); });
    connect(site, &SiteSession::vpkChanged, this, [this](int id) {
        if (id == sitePanel->selectedId())
            showSelectedLamps();
    });
    connect(site, &SiteSession::answeringChanged, this, &MainWindow::showNoAnswer);
    connect(site, &SiteSession::portFailed, this, [this](const QString &port, const QString &text) {
        statusBar()->showMessage(tr("Порт %1: %2").arg(port, QString(text).replace(QLatin1Char('\n'), QString())),
                                 SiteWorker::RetryIntervalMs);
    });
}

// id is -1 for the single controller.
void MainWindow::eventSeen(int id, bool current, const AlarmType &alarm, qint64 journalId,
                           const JournalRecord &record)
{
    const EventTables::List list = current ? EventTables::Current : EventTables::All;
    if (id < 0)
        tables->append(list, alarm);
    else
        tables->append(list, alarm, id, watch->controllerName(id));
    if (!current || quitting)
        return; // an event read while the workers end must not bring the window back
    if (!acknowledgements->eventShown(ui->tableAlarmCurrent->rowCount() - 1, journalId, record))
        return; // sent again after its list shrank, and acknowledged already
    alarmSound->play();
    if (!isVisible())
        showNormal();
}

void MainWindow::listCleared(int id, bool current, bool hadShown)
{
    const EventTables::List list = current ? EventTables::Current : EventTables::All;
    if (id < 0) {
        tables->clear(list);
        if (current)
            alarmSound->stop();
        return;
    }
    if (!hadShown)
        return; // the worker reports an empty list in every cycle
    tables->clearController(list, id);
    if (current)
        stopAlarmWhenSettled();
}

// Lost supervision of a gas controller is itself an alarm.
void MainWindow::siteLost(const QString &text)
{
    if (quitting)
        return;
    alarmSound->play();
    trayIcon->showMessage(tr("Нет связи"), text, QSystemTrayIcon::Warning);
    if (!isVisible())
        showNormal();
}

// The alarm goes on while any current event waits for a guard or any
// controller is lost.
void MainWindow::stopAlarmWhenSettled()
{
    const SiteSession *site = watch->siteSession();
    if (acknowledgements->ledger().allAcknowledged() && (!site || site->lostIds().isEmpty()))
        alarmSound->stop();
}

// With two or more controllers "Пульт" names the one whose lamps it shows.
void MainWindow::showSelectedLamps()
{
    if (panelTitle.isNull())
        panelTitle = ui->groupBox->title();
    const QString name = shownSite ? watch->controllerName(sitePanel->selectedId()) : QString();
    ui->groupBox->setTitle(name.isEmpty() ? panelTitle : tr("%1 — %2").arg(panelTitle, name));
    if (shownSite)
        lampPanel->setPending(LampState::fromVpk(shownSite->vpk(sitePanel->selectedId())));
}

void MainWindow::showNoAnswer()
{
    QStringList names;
    const bool sitePolling = watch->isSitePolling();
    if (sitePolling) {
        for (int id : watch->siteSession()->silentIds())
            names << QStringLiteral("«%1»").arg(watch->controllerName(id));
    }
    const bool silent = sitePolling ? !names.isEmpty() : !singleAnswering;
    noAnswerLabel->setText(names.isEmpty() ? tr("Нет ответа от контроллера")
                                           : tr("Нет ответа от контроллера %1").arg(names.join(QStringLiteral(", "))));
    noAnswerLabel->setVisible(silent);
}
