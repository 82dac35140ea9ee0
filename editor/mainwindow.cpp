#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "configdiff.h"
#include "configfile.h"
#include "configtables.h"
#include "documentdialogs.h"
#include "editortoolbar.h"
#include "engineer.h"
#include "filedrop.h"
#include "closewait.h"
#include "formarrangement.h"
#include "mythread.h"
#include "recentfilesmenu.h"
#include "settingsdialog.h"
#include "startupfile.h"
#include "textfit.h"
#include "transferindicator.h"
#include "windowforms.h"
#include "writerecorder.h"
#include "windowstate.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

// The pictures live in a static library: without an explicit registration the
// linker drops them. Outside any namespace, as Q_INIT_RESOURCE requires.
static void registerResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(editor);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

constexpr int TimerPeriod = 500;
constexpr int StatusTicks = 40; // 20 seconds of 500 ms ticks
constexpr int ReadSteps = 21;
constexpr int WriteSteps = 24;

// Touches the shared item lists once, so the first refresh only reads them.
void buildItemLists()
{
    ConfigImage::relayTexts();
    ConfigImage::valveTexts();
    ConfigImage::valveTypeTexts();
    ConfigImage::delayTexts();
    ConfigImage::inputNameTexts();
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    registerResources();
    buildItemLists();
    ui->setupUi(this);
    TextFit::useFormFont(this);
    arrangement = std::make_unique<FormArrangement>(ui);
    arrangement->applyTabOrder();
    ui->scrollArea->viewport()->installEventFilter(this);
    settingsDialog = new SettingsDialog(this);

    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MainWindow::Timer);
    timer->start(TimerPeriod);

    closeWait = std::make_unique<CloseWait>(this);
    createWorker();
    recorder = new WriteRecorder(this);
    connect(recorder, &WriteRecorder::loadRequested, this, &MainWindow::loadConfiguration);
    connect(ui->actionHistory, &QAction::triggered, recorder, &WriteRecorder::showHistory);
    connect(ui->actionEngineer, &QAction::triggered, this, [this] { Engineer::ask(this); });
    // Column widths and the nine cell editors come with the tables.
    tables = std::make_unique<ConfigTables>(image, ConfigTables::widgetsOf(ui));
    forms = std::make_unique<WindowForms>(ui, image);

    image.applyDefaults();
    refreshAll();
    forms->setInitialSelections();
    forms->installPhoneValidator(this);
    connectFileActions();
    setUpToolBar();
    connect(ui->checkBox, &QCheckBox::toggled, this, [this] { forms->followSystemClock(); });
    connect(new FileDrop(this, QStringLiteral(".vlr")), &FileDrop::dropped, this,
            &MainWindow::openPath, Qt::QueuedConnection);
    placeKeeper = new WindowState(this, QStringLiteral("editor"));
    if (placeKeeper->restore())
        show();
    else
        showFirstTime();

    const QString startupName = StartupFile::existingName();
    if (!startupName.isEmpty() && loadFrom(startupName, true)) {
        fileName = startupName;
        recentMenu->add(startupName);
    }

    createProgressBar();
    modified = false;
    statusCountdown = 0;
}

MainWindow::~MainWindow()
{
    // The worker has no parent: stop it before the window it reports to goes.
    delete worker;
    tables.reset();
    delete ui;
}

void MainWindow::createWorker()
{
    worker = new MyThread;
    connect(worker, &MyThread::Signal, this, &MainWindow::Message);
    connect(worker, &MyThread::StatusBarMes, this, &MainWindow::StatusBarMessage);
    connect(worker, &MyThread::ReadComplete, this, &MainWindow::ReadComplete);
    connect(worker, &MyThread::WriteComplete, this, &MainWindow::WriteComplete);
    connect(worker, &MyThread::CompareComplete, this, &MainWindow::CompareComplete);
    connect(worker, &QThread::finished, this, &MainWindow::workerDone);
    worker->start();
}

void MainWindow::connectFileActions()
{
    connect(ui->actionNewFile, &QAction::triggered, this, &MainWindow::NewFile);
    connect(ui->actionOpenFile, &QAction::triggered, this, &MainWindow::OpenFile);
    connect(ui->actionSaveFile, &QAction::triggered, this, &MainWindow::SaveFile);
    connect(ui->actionSaveFileAll, &QAction::triggered, this, &MainWindow::SaveAlFile);
}

// A desktop without a window manager to maximise it would keep the form's
// own size, taller than a 768-line screen, status bar out of sight.
void MainWindow::showFirstTime()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        resize(size().boundedTo(screen->availableGeometry().size()));
    showMaximized();
}

void MainWindow::setUpToolBar()
{
    recentMenu = new RecentFilesMenu(this);
    connect(recentMenu, &RecentFilesMenu::chosen, this, &MainWindow::openPath);
    EditorToolBar::setUp(this, ui, recentMenu);
}

void MainWindow::createProgressBar()
{
    indicator = std::make_unique<TransferIndicator>(
        ui->statusBar, QList<QAction *>{ui->actionSettings, ui->actionRead, ui->actionWrite,
                                         ui->actionCompare});
    connect(worker, &MyThread::Progress, this, &MainWindow::setProgress);
    connect(worker, &MyThread::Progress, recorder, &WriteRecorder::progress);
}

// ---- image <-> window -------------------------------------------------------

void MainWindow::refreshAll()
{
    tables->refreshInputTable();
    tables->refreshValveTable();
    tables->refreshSensorTables();
    forms->refresh();
    forms->fitForms();
    // The valve box comes and goes with the polling mode, and the width with it.
    arrangement->fitToView();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->scrollArea->viewport() && event->type() == QEvent::Resize) {
        arrangement->fitToView();
        forms->fitSensorsToView();
    }
    return QMainWindow::eventFilter(watched, event);
}

// The sensor tables go before the mode: they are stored with the layout they
// were built with, then the buttons' new mode is stored.
void MainWindow::gatherAll()
{
    tables->gatherInputTable();
    tables->gatherValveTable();
    tables->gatherSensorTables();
    forms->gather();
}

// ---- timer and transfer -----------------------------------------------------

void MainWindow::Timer()
{
    forms->followSystemClock();
    const int ticks = statusCountdown;
    // Past zero the count has done its work; holding it at -1 keeps it from
    // running on for ever.
    if (ticks >= 0)
        statusCountdown = ticks - 1;
    if (ticks == 0)
        ui->statusBar->showMessage(QStringLiteral(" "));
}

// The record is completed before the box: the box may stay open for long.
void MainWindow::Message(const QString Texst)
{
    recorder->failed(Texst);
    writeAfterRead = false;
    closeWait->setFailureBoxOpen(true);
    QMessageBox::critical(this, tr("Внимание"), Texst, QMessageBox::Ok);
    closeWait->setFailureBoxOpen(false);
    indicator->hideProgress();
    indicator->setActionsEnabled(true);
    if (closeWait->isWaiting()) // the user has seen why the transfer ended; now the window goes
        close();
}

void MainWindow::StatusBarMessage(const QString Texst)
{
    if (indicator->isBusy())
        transferStage = Texst;
    recorder->status(Texst);
    indicator->hideProgress();
    statusCountdown = StatusTicks;
    ui->statusBar->showMessage(Texst);
}

// The window now shows what no file holds. If New or Open replaced the
// document while the read ran, the result is a configuration of its own, with
// no name: a Save must not put it over the file that was opened.
void MainWindow::ReadComplete()
{
    worker->applyReadResult(image);
    if (documentCount != readDocument)
        fileName.clear();
    refreshAll();
    modified = true;
    indicator->setActionsEnabled(true);
    recorder->readArrived(transferLink, image, false);
}

void MainWindow::WriteComplete()
{
    indicator->setActionsEnabled(true);
    recorder->writeComplete();
}

// The controller's registers over the window's own file-only bytes: those
// never reach a controller, so they cannot differ from it.
void MainWindow::CompareComplete()
{
    ConfigImage controller = compareBase;
    const bool arrived = worker->takeCompareResult(controller);
    indicator->setActionsEnabled(true);
    if (arrived)
        recorder->readArrived(transferLink, controller, writeAfterRead);
    if (std::exchange(writeAfterRead, false)) {
        if (arrived && !closeWait->isWaiting()) // a window on its way out starts nothing
            startWrite();
        return;
    }
    if (arrived)
        showComparison(CompareDialog::Controller, controller);
}

void MainWindow::on_actionSettings_triggered()
{
    settingsDialog->exec();
}

void MainWindow::on_actionRead_triggered()
{
    readDocument = documentCount;
    transferStage = tr("Идет чтение данных.");
    startTransfer(MyThread::ReadMode, ReadSteps);
    modified = true;
}

// With "Читать перед записью" the controller's configuration is read first
// (a compare read: the window keeps its own) and the write follows it.
void MainWindow::on_actionWrite_triggered()
{
    gatherAll();
    if (ui->actionReadBeforeWrite->isChecked()) {
        compareBase = image;
        writeAfterRead = true;
        transferStage = tr("Идет чтение данных.");
        startTransfer(MyThread::CompareMode, ReadSteps);
        return;
    }
    startWrite();
}

// The record's row is in the file before the worker is woken.
void MainWindow::startWrite()
{
    gatherAll(); // edits made during a read before the write go too
    const QString link = WriteRecorder::linkText(settingsDialog->settings().linkTarget());
    if (!recorder->beginWrite(link, image))
        return;
    worker->setImage(image);
    transferStage = tr("Идет отправка данных.");
    startTransfer(MyThread::WriteMode, WriteSteps);
}

void MainWindow::on_actionProtocol_triggered()
{
    gatherAll();
    recorder->showProtocol(WriteRecorder::linkText(settingsDialog->settings().linkTarget()), image);
}

// A configuration from the record is no file's: Save asks for a name.
void MainWindow::loadConfiguration(const ConfigImage &other)
{
    if (!confirmDiscard())
        return;
    ++documentCount;
    image = other;
    fileName.clear();
    refreshAll();
    modified = true;
}

// The read of Read, into the worker's scratch copy: the window's image,
// file name and modified flag stay as they are.
void MainWindow::on_actionCompare_triggered()
{
    gatherAll();
    compareBase = image;
    transferStage = tr("Идет чтение данных.");
    startTransfer(MyThread::CompareMode, ReadSteps);
}

// A file that cannot be loaded gets Open's message and changes nothing.
void MainWindow::on_actionCompareFile_triggered()
{
    const QString chosen = askCompareFileName();
    if (chosen.isEmpty())
        return;
    ConfigImage other;
    QString error;
    if (!ConfigFile::load(chosen, &other, &error)) {
        showCritical(error);
        return;
    }
    gatherAll();
    showComparison(CompareDialog::File, other);
}

void MainWindow::showComparison(CompareDialog::Source source, const ConfigImage &other)
{
    const ConfigImage &window = source == CompareDialog::Controller ? compareBase : image;
    comparison = CompareDialog::showIn(comparison, this, source, ConfigDiff::compare(window, other));
}

void MainWindow::startTransfer(int mode, int lastStep)
{
    indicator->begin(lastStep);
    const Settings link = settingsDialog->settings();
    transferLink = WriteRecorder::linkText(link.linkTarget());
    worker->setLink(link.linkTarget());
    worker->setMode(mode);
    worker->resume();
}

void MainWindow::setProgress(int step)
{
    indicator->setProgress(step);
}

// ---- edits that mark the configuration as changed ---------------------------

void MainWindow::switchPollingMode()
{
    modified = true;
    gatherAll();
    refreshAll();
}

void MainWindow::on_radioButtonModeNoAdr_clicked() { switchPollingMode(); }
void MainWindow::on_radioButtonModeAdr_clicked() { switchPollingMode(); }

void MainWindow::on_tableDiscreteInput_doubleClicked(const QModelIndex &) { modified = true; }
void MainWindow::on_tableValve_doubleClicked(const QModelIndex &) { modified = true; }
void MainWindow::on_tableSensorThres1_doubleClicked(const QModelIndex &) { modified = true; }
void MainWindow::on_tableSensorThres2_doubleClicked(const QModelIndex &) { modified = true; }
void MainWindow::on_tableSensorDefect_doubleClicked(const QModelIndex &) { modified = true; }
void MainWindow::on_tableSensorFire_doubleClicked(const QModelIndex &) { modified = true; }

void MainWindow::on_lineEdit_textChanged(const QString &) { modified = true; }
void MainWindow::on_lineEdit_2_textChanged(const QString &) { modified = true; }
void MainWindow::on_lineEdit_3_textChanged(const QString &) { modified = true; }
void MainWindow::on_lineEdit_4_textChanged(const QString &) { modified = true; }
void MainWindow::on_lineEdit_5_textChanged(const QString &) { modified = true; }
void MainWindow::on_lineEdit_6_textChanged(const QString &) { modified = true; }

void MainWindow::on_checkBox_clicked() { modified = true; }
void MainWindow::on_checkBox_2_clicked() { modified = true; }
void MainWindow::on_checkBox_3_clicked() { modified = true; }
void MainWindow::on_checkBox_4_clicked() { modified = true; }
void MainWindow::on_checkBox_5_clicked() { modified = true; }
void MainWindow::on_checkBox_6_clicked() { modified = true; }
void MainWindow::on_checkBox_7_clicked() { modified = true; }

void MainWindow::on_comboBoxRelay1_currentIndexChanged(int) { modified = true; }
void MainWindow::on_comboBoxRelay2_currentIndexChanged(int) { modified = true; }
void MainWindow::on_comboBoxRelay3_currentIndexChanged(int) { modified = true; }
void MainWindow::on_comboBoxRelay4_currentIndexChanged(int) { modified = true; }

void MainWindow::assignToAll(int assignment)
{
    tables->applyToAll(ConfigTables::Assignment(assignment));
    modified = true;
}

void MainWindow::on_pushButtonDiscreteInputType_clicked() { assignToAll(ConfigTables::DiscreteInputType); }
void MainWindow::on_pushButtonDiscreteInputName_clicked() { assignToAll(ConfigTables::DiscreteInputName); }
void MainWindow::on_pushButtonDiscreteInputRelay_clicked() { assignToAll(ConfigTables::DiscreteInputRelay); }
void MainWindow::on_pushButtonvDiscreteInputValve_clicked() { assignToAll(ConfigTables::DiscreteInputValve); }
void MainWindow::on_pushButtonDiscreteInputDelay_clicked() { assignToAll(ConfigTables::DiscreteInputDelay); }
void MainWindow::on_pushButtonValveEventBreack_clicked() { assignToAll(ConfigTables::ValveEventBreack); }
void MainWindow::on_pushButtonValveEventClose_clicked() { assignToAll(ConfigTables::ValveEventClose); }
void MainWindow::on_pushButtonRelayValveClose_clicked() { assignToAll(ConfigTables::RelayValveClose); }
void MainWindow::on_pushButtonSensorThres1Relay_clicked() { assignToAll(ConfigTables::SensorThres1Relay); }
void MainWindow::on_pushButtonSensorThres1Valve_clicked() { assignToAll(ConfigTables::SensorThres1Valve); }
void MainWindow::on_pushButtonSensorThres2Relay_clicked() { assignToAll(ConfigTables::SensorThres2Relay); }
void MainWindow::on_pushButtonSensorThres2Valve_clicked() { assignToAll(ConfigTables::SensorThres2Valve); }
void MainWindow::on_pushButtonSensorDefectRelay_clicked() { assignToAll(ConfigTables::SensorDefectRelay); }
void MainWindow::on_pushButtonSensorDefectValve_clicked() { assignToAll(ConfigTables::SensorDefectValve); }
void MainWindow::on_pushButtonSensorFireRelay_clicked() { assignToAll(ConfigTables::SensorFireRelay); }
void MainWindow::on_pushButtonSensorFireValve_clicked() { assignToAll(ConfigTables::SensorFireValve); }

// ---- document commands ------------------------------------------------------

// Clears the flag before the refresh: a refresh that changes a number or a
// relay position marks the fresh document as changed again.
void MainWindow::NewFile()
{
    if (!confirmDiscard())
        return;
    modified = false;
    fileName.clear();
    ++documentCount;
    image.applyDefaults();
    refreshAll();
}

void MainWindow::OpenFile()
{
    if (!confirmDiscard())
        return;
    const QString chosen = askOpenFileName();
    if (!chosen.isEmpty())
        openChosen(chosen);
}

bool MainWindow::openPath(const QString &path)
{
    return confirmDiscard() && openChosen(path);
}

bool MainWindow::openChosen(const QString &path)
{
    if (!loadFrom(path, false))
        return false;
    ++documentCount;
    fileName = path;
    modified = false;
    recentMenu->add(path);
    return true;
}

void MainWindow::SaveFile()
{
    saveDocument();
}

void MainWindow::SaveAlFile()
{
    saveDocumentAs();
}

// A transfer in progress runs to its end; the window closes when the worker
// has finished.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!closeWait->isWaiting() && !confirmDiscard()) {
        event->ignore();
        return;
    }
    const CloseWait::Answer answer = closeWait->onClose(indicator->isBusy(), transferStage);
    if (answer == CloseWait::StartWaiting)
        worker->requestStop(); // also clears the mode: nothing starts after this transfer
    if (answer != CloseWait::CloseNow) {
        event->ignore();
        return;
    }
    worker->stopAndWait(); // parked or past its last report: at once
    event->accept();
}

void MainWindow::workerDone()
{
    if (closeWait->workerDone())
        close();
}

// True when the current configuration may be dropped: it is unchanged, the
// user said No, or said Yes and the save went through.
bool MainWindow::confirmDiscard()
{
    if (!modified)
        return true;
    switch (askSaveChanges()) {
    case QMessageBox::Yes:
        return saveDocument();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool MainWindow::saveDocument()
{
    if (!fileName.isEmpty())
        return saveTo(fileName);
    return saveDocumentAs();
}

bool MainWindow::saveDocumentAs()
{
    const QString chosen = askSaveFileName();
    return !chosen.isEmpty() && saveTo(chosen);
}

// The name and the flag change only once the file is safely written.
bool MainWindow::saveTo(const QString &path)
{
    gatherAll();
    QString error;
    if (!ConfigFile::save(path, image, &error)) {
        showCritical(error);
        return false;
    }
    fileName = path;
    modified = false;
    recentMenu->add(path);
    return true;
}

// A file that cannot be read whole leaves the configuration as it was.
bool MainWindow::loadFrom(const QString &path, bool quiet)
{
    QString error;
    if (!ConfigFile::load(path, &image, &error)) {
        if (!quiet)
            showCritical(error);
        return false;
    }
    refreshAll();
    return true;
}

void MainWindow::showCritical(const QString &text)
{
    QMessageBox::critical(this, tr("Внимание"), text, QMessageBox::Ok);
}

QString MainWindow::askOpenFileName()
{
    return DocumentDialogs::openFileName(this);
}

QString MainWindow::askSaveFileName()
{
    return DocumentDialogs::saveFileName(this);
}

QString MainWindow::askCompareFileName()
{
    return DocumentDialogs::compareFileName(this);
}

QMessageBox::StandardButton MainWindow::askSaveChanges()
{
    return DocumentDialogs::saveChanges(this);
}
