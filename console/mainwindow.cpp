#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "acknowledgementpanel.h"
#include "eventrow.h"
#include "eventtablemenu.h"
#include "helpwindow.h"
#include "journal.h"
#include "journalview.h"
#include "mediaalarmsound.h"
#include "mqttbinder.h"
#include "mythread.h"
#include "settingsdialog.h"
#include "shortcuttips.h"
#include "textfit.h"
#include "windowstate.h"

#include <QApplication>
#include <QCloseEvent>
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
    return worker && worker->isRunning();
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
    connect(worker, &QThread::finished, this, [this] {
        if (std::exchange(quitWhenWorkerEnds, false))
            QCoreApplication::quit();
    });
    worker->start(QThread::InheritPriority);
}

// Before anything can be journaled: the worker is parked until polling starts.
void MainWindow::createJournal()
{
    journal = new Journal(this);
    connect(journal, &Journal::failed, this, &MainWindow::warnAboutJournal);
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
    acknowledgements->setLampSource([this] { return pendingLamps; });
    connect(acknowledgements, &AcknowledgementPanel::allAcknowledged, this, [this] { alarmSound->stop(); });
}

// Off unless the user turned it on; it never waits on the network.
void MainWindow::createPublishing()
{
    mqttBinder = new MqttBinder(journal, settingsDialog, this);
    mqttBinder->watch(worker, ui->actionEnablePoll, ui->actionDisablePoll);
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

qint64 MainWindow::journalEvent(const QString &list, const AlarmType &alarm, JournalRecord *written)
{
    JournalRecord record = JournalRecord::event(list, alarm, catalogue.eventText(alarm.source, alarm.code));
    const qint64 id = writeToJournal(record);
    if (written)
        *written = record;
    return id;
}

void MainWindow::journalNote(const QString &kind, const QString &list, const QString &name)
{
    JournalRecord record = JournalRecord::note(kind, list, name);
    writeToJournal(record);
}

qint64 MainWindow::writeToJournal(JournalRecord &record)
{
    record.port = pollPort;
    record.slave = pollSlave;
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
    journalNote(JournalRecord::LineFailure, QString(), QString(Texst).replace(QLatin1Char('\n'), QString()));
    QMessageBox box(QMessageBox::Critical, tr("Внимание"), Texst, QMessageBox::Ok, this);
    box.exec();
    setPollingActions(false);
}

void MainWindow::TableAlarmAllSet(AlarmType Alarm)
{
    journalEvent(JournalRecord::AllList, Alarm);
    appendEvent(ui->tableAlarmAll, Alarm);
}

void MainWindow::TableAlarmAllClear()
{
    if (ui->tableAlarmAll->rowCount() > 0) // the worker reports an empty list in every cycle
        journalNote(JournalRecord::Cleared, JournalRecord::AllList);
    emptyTable(ui->tableAlarmAll);
}

void MainWindow::TableAlarmCurrentSet(AlarmType Alarm)
{
    if (quitting)
        return; // an event read while the worker ends must not bring the window back
    JournalRecord record;
    const qint64 id = journalEvent(JournalRecord::CurrentList, Alarm, &record);
    appendEvent(ui->tableAlarmCurrent, Alarm);
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
    emptyTable(ui->tableAlarmCurrent);
    alarmSound->stop();
}

void MainWindow::VpkSet(quint32 Vpk)
{
    pendingLamps = LampState::fromVpk(Vpk);
}

void MainWindow::on_actionDisablePoll_triggered()
{
    worker->pause();
    setPollingActions(false);
    journalNote(JournalRecord::PollingStopped);
}

void MainWindow::on_actionEnablePoll_triggered()
{
    const Settings settings = settingsDialog->settings();
    worker->setLink(settings.linkTarget());
    worker->resume();
    setPollingActions(true);
    pollPort = settings.linkName();
    pollSlave = settings.address;
    journalNote(JournalRecord::PollingStarted, QString(),
                tr("Порт %1, адрес %2").arg(pollPort).arg(settings.address));
}

void MainWindow::on_actionReset_triggered()
{
    journalNote(JournalRecord::Reset, JournalRecord::CurrentList);
    worker->requestReset();
}

void MainWindow::on_actionNoSound_triggered()
{
    alarmSound->stop();
}

void MainWindow::appendEvent(QTableWidget *table, const AlarmType &alarm)
{
    const EventRow row = EventRow::from(alarm, catalogue);
    const int rowIndex = table->rowCount();
    table->insertRow(rowIndex);
    const QString texts[] = { row.name, row.time, row.date };
    for (int column = 0; column < 3; ++column) {
        auto *item = new QTableWidgetItem(texts[column]);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        table->setItem(rowIndex, column, item);
    }
    // The name column is narrower than a name with its device address.
    table->item(rowIndex, 0)->setToolTip(row.name.trimmed());
    selectLastRow(table);
}

// selectRow() lays the table out and scrolls at once: on screen about a
// millisecond per row, and in any case a pass over every row, so a burst of
// events would stall the window. The row is selected at once; it is made
// current and scrolled to once per burst, before the window is next painted.
void MainWindow::selectLastRow(QTableWidget *table)
{
    const int row = table->rowCount() - 1;
    table->selectionModel()->select(table->model()->index(row, 0),
                                    QItemSelectionModel::ClearAndSelect
                                        | QItemSelectionModel::Rows);
    if (!rowsToFollow.contains(table)) {
        rowsToFollow.append(table);
        QMetaObject::invokeMethod(this, &MainWindow::followLastRows, Qt::QueuedConnection);
    }
}

void MainWindow::followLastRows()
{
    const QVector<QTableWidget *> tables = std::exchange(rowsToFollow, {});
    for (QTableWidget *table : tables) {
        if (table->rowCount() > 0) {
            table->selectRow(table->rowCount() - 1);
            // selectRow() can scroll before the burst's rows are laid out and
            // leave the last row out of view (seen once the window had its
            // journal tab); scrollToBottom() lays them out first.
            table->scrollToBottom();
        }
    }
}

bool MainWindow::event(QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest)
        followLastRows();
    return QMainWindow::event(event);
}

// The worker reports an empty list in every cycle.
void MainWindow::emptyTable(QTableWidget *table)
{
    if (table->rowCount() == 0)
        return;
    table->clearContents();
    table->setRowCount(0);
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
    if (worker->isFinished() && std::exchange(quitWhenWorkerEnds, false))
        QCoreApplication::quit();
}

void MainWindow::stopWorker()
{
    if (worker)
        worker->stopAndWait();
}
