#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "configdiff.h"
#include "configfile.h"
#include "configtables.h"
#include "filedrop.h"
#include "finishingdialog.h"
#include "formarrangement.h"
#include "helpwindow.h"
#include "mythread.h"
#include "recentfilesmenu.h"
#include "registermap.h"
#include "settingsdialog.h"
#include "shortcuttips.h"
#include "startupfile.h"
#include "textfit.h"
#include "windowstate.h"

#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTime>
#include <QTimer>
#include <QToolButton>

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
constexpr int RelayCount = 4;
constexpr int PhoneDigits = 16; // room for any number the SIM card takes, with its "+"

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

    createWorker();
    // Column widths and the nine cell editors come with the tables.
    tables = std::make_unique<ConfigTables>(image, ConfigTables::widgetsOf(ui));

    image.applyDefaults();
    refreshAll();
    setInitialSelections();
    installPhoneValidator();
    connectFileActions();
    setUpToolBar();
    connect(ui->checkBox, &QCheckBox::toggled, this, &MainWindow::followSystemClock);
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

void MainWindow::setInitialSelections()
{
    for (QComboBox *box : {ui->comboBoxDiscreteInputType, ui->comboBoxDiscreteInputRelay,
                           ui->comboBoxDiscreteInputValve, ui->comboBoxDiscreteInputDelay,
                           ui->comboBoxValveEventBreack, ui->comboBoxValveEventClose,
                           ui->comboBoxRelayValveClose, ui->comboBoxSensorThres1Relay,
                           ui->comboBoxSensorThres1Valve, ui->comboBoxSensorThres2Relay,
                           ui->comboBoxSensorThres2Valve, ui->comboBoxSensorDefectRelay,
                           ui->comboBoxSensorDefectValve, ui->comboBoxSensorFireRelay,
                           ui->comboBoxSensorFireValve})
        box->setCurrentIndex(0);
    ui->comboBoxDiscreteInputName->setCurrentIndex(1); // "Пожар"
}

void MainWindow::installPhoneValidator()
{
    // Plain ASCII digits: a number is sent to the SIM card byte for byte.
    auto *validator = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[+]?\\d{1,12}")), this);
    for (QLineEdit *edit : {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3, ui->lineEdit_4,
                            ui->lineEdit_5, ui->lineEdit_6})
        edit->setValidator(validator);
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

// The desktop's own keys for the file commands (Save As has none on
// Windows), F5 for Read, F1 for the guide, named in the tool bar's tips; the
// recent files under Open's arrow.
void MainWindow::setUpToolBar()
{
    ui->actionNewFile->setShortcuts(QKeySequence::New);
    ui->actionOpenFile->setShortcuts(QKeySequence::Open);
    ui->actionSaveFile->setShortcuts(QKeySequence::Save);
    const QList<QKeySequence> saveAs = QKeySequence::keyBindings(QKeySequence::SaveAs);
    ui->actionSaveFileAll->setShortcuts(
        saveAs.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)} : saveAs);
    ui->actionRead->setShortcut(QKeySequence(Qt::Key_F5));
    HelpWindow::addTo(this, ui->mainToolBar);

    recentMenu = new RecentFilesMenu(this);
    connect(recentMenu, &RecentFilesMenu::chosen, this, &MainWindow::openPath);
    ui->actionOpenFile->setMenu(recentMenu);
    if (auto *button = qobject_cast<QToolButton *>(ui->mainToolBar->widgetForAction(ui->actionOpenFile)))
        button->setPopupMode(QToolButton::MenuButtonPopup);
    ShortcutTips::install(ui->mainToolBar);
}

void MainWindow::createProgressBar()
{
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, ReadSteps);
    progressBar->setValue(0);
    progressBar->hide();
    // Permanent, so that no status text (the clearing tick's " " included)
    // hides it in the middle of a transfer; the transfer's own ending hides it.
    ui->statusBar->addPermanentWidget(progressBar, 1);
    connect(worker, &MyThread::Progress, this, &MainWindow::setProgress);
}

// ---- image <-> window -------------------------------------------------------

void MainWindow::refreshAll()
{
    tables->refreshInputTable();
    tables->refreshValveTable();
    tables->refreshSensorTables();
    refreshPhones();
    refreshRelayPositions();
    refreshPollingMode();
    refreshClock();
    fitForms();
    // The valve box comes and goes with the polling mode, and the width with it.
    arrangement->fitToView();
}

// Widths from the font the desktop gives, for what the form sized by hand:
// number fields, boxes, the valve table and the groups that capped their
// width. The boxes' lists change with the polling mode, so after every
// refresh; a form wider than the screen scrolls.
void MainWindow::fitForms()
{
    bool grown = !formsFitted;
    const auto boxes = ui->centralWidget->findChildren<QComboBox *>();
    for (QComboBox *box : boxes)
        grown = TextFit::fitComboBox(box) || grown;
    if (!grown)
        return;
    for (QLineEdit *edit : {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3, ui->lineEdit_4,
                            ui->lineEdit_5, ui->lineEdit_6})
        TextFit::fitLineEdit(edit, PhoneDigits);
    for (QTableWidget *table : {ui->tableValve, ui->tableSensorThres1, ui->tableSensorThres2,
                                ui->tableSensorDefect, ui->tableSensorFire})
        table->setMinimumWidth(TextFit::tableWidth(table));
    for (QWidget *group : {ui->groupBox_2, ui->groupBox_3, ui->groupBox_6, ui->groupBox_8})
        TextFit::allowContents(group);
    formsFitted = true;
}

// The sensor row spans the whole grid: on a screen narrower than the form it
// would spread its four groups past the right edge, "Пожар" out of sight.
// It keeps to the visible width instead, which changes nothing where the
// form fits; only the groups above it then need scrolling to.
void MainWindow::fitSensorsToView()
{
    const QMargins margins = ui->gridLayout->contentsMargins();
    const int visible = ui->scrollArea->viewport()->width() - margins.left() - margins.right();
    ui->groupBox_7->setMaximumWidth(qMax(visible, ui->groupBox_7->minimumSizeHint().width()));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->scrollArea->viewport() && event->type() == QEvent::Resize) {
        arrangement->fitToView();
        fitSensorsToView();
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
    gatherPhones();
    gatherRelayPositions();
    gatherPollingMode();
    gatherClock();
}

namespace {

QList<QLineEdit *> phoneEdits(Ui::MainWindow *ui)
{
    return {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3,
            ui->lineEdit_4, ui->lineEdit_5, ui->lineEdit_6};
}

QList<QCheckBox *> dialBoxes(Ui::MainWindow *ui)
{
    return {ui->checkBox_2, ui->checkBox_3, ui->checkBox_4,
            ui->checkBox_5, ui->checkBox_6, ui->checkBox_7};
}

QList<QComboBox *> relayBoxes(Ui::MainWindow *ui)
{
    return {ui->comboBoxRelay1, ui->comboBoxRelay2, ui->comboBoxRelay3, ui->comboBoxRelay4};
}

using RegisterMap::Clock::Day;
using RegisterMap::Clock::Hour;
using RegisterMap::Clock::Minute;
using RegisterMap::Clock::Month;
using RegisterMap::Clock::Second;
using RegisterMap::Clock::Year;
using RegisterMap::Clock::YearBase;

} // namespace

void MainWindow::refreshPhones()
{
    const QList<QLineEdit *> edits = phoneEdits(ui);
    const QList<QCheckBox *> boxes = dialBoxes(ui);
    for (int i = 0; i < ConfigImage::PhoneCount; ++i) {
        edits.at(i)->setText(image.phoneNumber(i));
        boxes.at(i)->setChecked(!image.bit(ConfigImage::DialFlags, i));
    }
}

// One byte per character, the inverse of refreshPhones: typed numbers are
// ASCII anyway, and bytes that came from a file or controller go back as
// they were instead of growing into multi-byte sequences.
void MainWindow::gatherPhones()
{
    const QList<QLineEdit *> edits = phoneEdits(ui);
    const QList<QCheckBox *> boxes = dialBoxes(ui);
    for (int i = 0; i < ConfigImage::PhoneCount; ++i) {
        image.setPhoneNumber(i, edits.at(i)->text().toLatin1());
        image.setBit(ConfigImage::DialFlags, i, !boxes.at(i)->isChecked());
    }
}

void MainWindow::refreshRelayPositions()
{
    const QList<QComboBox *> boxes = relayBoxes(ui);
    for (int k = 0; k < RelayCount; ++k)
        boxes.at(k)->setCurrentText(
            ConfigImage::relayPositionText(image.bit(ConfigImage::RelayPositions, k)));
}

void MainWindow::gatherRelayPositions()
{
    const QList<QComboBox *> boxes = relayBoxes(ui);
    for (int k = 0; k < RelayCount; ++k)
        image.setBit(ConfigImage::RelayPositions, k,
                     ConfigImage::relayPositionFromText(boxes.at(k)->currentText()));
}

// Any mode but 0 is the addressed one, as in the tables, so that buttons,
// tables and the next gather (which stores 1) all agree.
void MainWindow::refreshPollingMode()
{
    const bool addressed = image.word(ConfigImage::PollingMode) != 0;
    ui->radioButtonModeAdr->setChecked(addressed);
    ui->radioButtonModeNoAdr->setChecked(!addressed);
}

void MainWindow::gatherPollingMode()
{
    image.setWord(ConfigImage::PollingMode, ui->radioButtonModeAdr->isChecked() ? 1 : 0);
}

void MainWindow::refreshClock()
{
    const QTime time(image.ClockBlock[Hour], image.ClockBlock[Minute], image.ClockBlock[Second]);
    if (time.isValid())
        ui->timeEdit->setTime(time);
    const int year = YearBase + (image.ClockBlock[Year] | (image.ClockBlock[Year + 1] << 8));
    const QDate date(year, image.ClockBlock[Month], image.ClockBlock[Day]);
    if (date.isValid() && date >= ui->dateEdit->minimumDate()
        && date <= ui->dateEdit->maximumDate())
        ui->dateEdit->setDate(date);
    followSystemClock();
}

// While "Системное время" is checked the editors show the computer's clock,
// so a save or write at any moment stores the time of that moment.
void MainWindow::followSystemClock()
{
    if (!ui->checkBox->isChecked())
        return;
    ui->timeEdit->setTime(QTime::currentTime());
    ui->dateEdit->setDate(QDate::currentDate());
}

// Byte 5 is not the editor's: it keeps whatever was read or loaded.
void MainWindow::gatherClock()
{
    const QTime time = ui->timeEdit->time();
    const QDate date = ui->dateEdit->date();
    const int year = qBound(0, date.year() - YearBase, 0xFFFF);
    image.ClockBlock[Hour] = quint8(time.hour());
    image.ClockBlock[Minute] = quint8(time.minute());
    image.ClockBlock[Second] = quint8(time.second());
    image.ClockBlock[Month] = quint8(date.month());
    image.ClockBlock[Day] = quint8(date.day());
    image.ClockBlock[Year] = quint8(year & 0xFF);
    image.ClockBlock[Year + 1] = quint8(year >> 8);
}

// ---- timer and transfer -----------------------------------------------------

void MainWindow::Timer()
{
    followSystemClock();
    const int ticks = statusCountdown;
    // Past zero the count has done its work; holding it at -1 keeps it from
    // running on for ever.
    if (ticks >= 0)
        statusCountdown = ticks - 1;
    if (ticks == 0)
        ui->statusBar->showMessage(QStringLiteral(" "));
}

void MainWindow::Message(const QString Texst)
{
    failureBoxOpen = true;
    QMessageBox::critical(this, tr("Внимание"), Texst, QMessageBox::Ok);
    failureBoxOpen = false;
    hideProgress();
    setTransferActionsEnabled(true);
    if (finishingBox) // the user has seen why the transfer ended; now the window goes
        close();
}

void MainWindow::StatusBarMessage(const QString Texst)
{
    if (transferInProgress)
        transferStage = Texst;
    hideProgress();
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
    setTransferActionsEnabled(true);
}

void MainWindow::WriteComplete()
{
    setTransferActionsEnabled(true);
}

// The controller's registers over the window's own file-only bytes: those
// never reach a controller, so they cannot differ from it.
void MainWindow::CompareComplete()
{
    ConfigImage controller = compareBase;
    const bool arrived = worker->takeCompareResult(controller);
    setTransferActionsEnabled(true);
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

void MainWindow::on_actionWrite_triggered()
{
    gatherAll();
    worker->setImage(image);
    transferStage = tr("Идет отправка данных.");
    startTransfer(MyThread::WriteMode, WriteSteps);
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

// One dialog, reused: it stays open beside the window while the user works.
void MainWindow::showComparison(CompareDialog::Source source, const ConfigImage &other)
{
    if (!comparison)
        comparison = new CompareDialog(this);
    const ConfigImage &window = source == CompareDialog::Controller ? compareBase : image;
    comparison->setComparison(source, ConfigDiff::compare(window, other));
    comparison->show();
    comparison->raise();
    comparison->activateWindow();
}

void MainWindow::startTransfer(int mode, int lastStep)
{
    progressBar->setRange(0, lastStep);
    progressBar->setValue(0);
    progressBar->show();
    const Settings link = settingsDialog->settings();
    worker->setLink(link.linkTarget());
    worker->setMode(mode);
    worker->resume();
    setTransferActionsEnabled(false);
}

// Steps past the bar's range (the tail of a read or the commit of a write)
// leave it full.
void MainWindow::setProgress(int step)
{
    progressBar->setValue(qBound(progressBar->minimum(), step, progressBar->maximum()));
}

void MainWindow::setTransferActionsEnabled(bool enabled)
{
    transferInProgress = !enabled;
    ui->actionSettings->setEnabled(enabled);
    ui->actionRead->setEnabled(enabled);
    ui->actionWrite->setEnabled(enabled);
    ui->actionCompare->setEnabled(enabled);
}

void MainWindow::hideProgress()
{
    progressBar->hide();
    progressBar->setValue(0);
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

// A transfer in progress runs to its end; the window waits for it without
// blocking its event loop, and closes when the worker has finished.
void MainWindow::closeEvent(QCloseEvent *event)
{
    const bool answered = finishingBox != nullptr;
    if (!answered && !confirmDiscard()) {
        event->ignore();
        return;
    }
    if (transferInProgress && !workerFinished) {
        if (!finishingBox)
            beginFinishing();
        event->ignore();
        return;
    }
    delete finishingBox;
    finishingBox = nullptr;
    worker->stopAndWait(); // parked or past its last report: at once
    event->accept();
}

void MainWindow::beginFinishing()
{
    worker->requestStop(); // also clears the mode: nothing starts after this transfer
    finishingBox = new FinishingDialog(
        transferStage + QLatin1Char('\n')
            + tr("Программа закроется, как только обмен с контроллером завершится."),
        this);
    finishingBox->setWindowTitle(windowTitle());
    finishingBox->show();
}

void MainWindow::workerDone()
{
    workerFinished = true;
    if (finishingBox && !failureBoxOpen)
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
    return QFileDialog::getOpenFileName(this, tr("Открыть файл"), QString(),
                                        tr("ВелиДор (*.vlr)"));
}

QString MainWindow::askSaveFileName()
{
    return QFileDialog::getSaveFileName(this, tr("Сохранить файл"),
                                        QDir::current().filePath(QStringLiteral("ВелиДор")),
                                        tr("ВелиДор (*.vlr)"));
}

QString MainWindow::askCompareFileName()
{
    return QFileDialog::getOpenFileName(this, tr("Сравнить с файлом"), QString(),
                                        tr("ВелиДор (*.vlr)"));
}

QMessageBox::StandardButton MainWindow::askSaveChanges()
{
    QMessageBox box(QMessageBox::Information, tr("Внимание"), tr("Сохранить изменение в файле"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return QMessageBox::StandardButton(box.exec());
}
