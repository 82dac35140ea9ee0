#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "comparedialog.h"
#include "configimage.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QModelIndex>

#include <memory>

class ConfigTables;
class CloseWait;
class FormArrangement;
class RecentFilesMenu;
class WindowForms;
class WriteRecorder;
class WindowState;
class MyThread;
class QAction;
class QTimer;
class SettingsDialog;
class TransferIndicator;

namespace Ui {
class MainWindow;
}

// The editor's only window: every table and form of the configuration image,
// the document commands, and the window side of a transfer.
//
// For the document tests:
//  - modified, currentFileName(), configImage(), refreshAll() and gatherAll()
//    are public;
//  - the file dialogs and the save prompt go through the protected virtuals
//    askOpenFileName(), askSaveFileName(), askCompareFileName() and
//    askSaveChanges(); a test
//    subclass overrides them to answer without a dialog;
//  - a failed load or save shows a modal critical box "Внимание" with the
//    error text (drive it with QTimer::singleShot + activeModalWidget).
//
// A close during a transfer returns at once (the close is ignored) and shows
// the modal "finishingDialog"; the window closes itself when the worker ends.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The configuration has changed since it was last created, loaded or saved.
    bool modified = false;

    QString currentFileName() const { return fileName; }
    ConfigImage &configImage() { return image; }
    const ConfigImage &configImage() const { return image; }

    // Image to every table and form, and back.
    void refreshAll();
    void gatherAll();

    // Opens the file as Open does, after asking to save a modified one.
    bool openPath(const QString &path);
    RecentFilesMenu *recentFilesMenu() const { return recentMenu; }

    // The last comparison shown, or null before the first one.
    CompareDialog *compareDialog() const { return comparison; }
    WriteRecorder *writeRecorder() const { return recorder; }

public slots:
    void Timer();
    void Message(const QString Texst);
    void StatusBarMessage(const QString Texst);
    void ReadComplete();
    void WriteComplete();
    void CompareComplete();

    void NewFile();
    void OpenFile();
    void SaveFile();
    void SaveAlFile();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Seams for the tests: an empty name means the dialog was cancelled.
    virtual QString askOpenFileName();
    virtual QString askSaveFileName();
    virtual QString askCompareFileName();
    // Yes, No or Cancel.
    virtual QMessageBox::StandardButton askSaveChanges();

private slots:
    void on_actionSettings_triggered();
    void on_actionRead_triggered();
    void on_actionWrite_triggered();
    void on_actionCompare_triggered();
    void on_actionCompareFile_triggered();
    void on_actionProtocol_triggered();

    void on_radioButtonModeNoAdr_clicked();
    void on_radioButtonModeAdr_clicked();

    void on_tableDiscreteInput_doubleClicked(const QModelIndex &index);
    void on_tableValve_doubleClicked(const QModelIndex &index);
    void on_tableSensorThres1_doubleClicked(const QModelIndex &index);
    void on_tableSensorThres2_doubleClicked(const QModelIndex &index);
    void on_tableSensorDefect_doubleClicked(const QModelIndex &index);
    void on_tableSensorFire_doubleClicked(const QModelIndex &index);

    void on_lineEdit_textChanged(const QString &arg1);
    void on_lineEdit_2_textChanged(const QString &arg1);
    void on_lineEdit_3_textChanged(const QString &arg1);
    void on_lineEdit_4_textChanged(const QString &arg1);
    void on_lineEdit_5_textChanged(const QString &arg1);
    void on_lineEdit_6_textChanged(const QString &arg1);

    void on_checkBox_clicked();
    void on_checkBox_2_clicked();
    void on_checkBox_3_clicked();
    void on_checkBox_4_clicked();
    void on_checkBox_5_clicked();
    void on_checkBox_6_clicked();
    void on_checkBox_7_clicked();

    void on_comboBoxRelay1_currentIndexChanged(int index);
    void on_comboBoxRelay2_currentIndexChanged(int index);
    void on_comboBoxRelay3_currentIndexChanged(int index);
    void on_comboBoxRelay4_currentIndexChanged(int index);

    void on_pushButtonDiscreteInputType_clicked();
    void on_pushButtonDiscreteInputName_clicked();
    void on_pushButtonDiscreteInputRelay_clicked();
    void on_pushButtonvDiscreteInputValve_clicked();
    void on_pushButtonDiscreteInputDelay_clicked();
    void on_pushButtonValveEventBreack_clicked();
    void on_pushButtonValveEventClose_clicked();
    void on_pushButtonRelayValveClose_clicked();
    void on_pushButtonSensorThres1Relay_clicked();
    void on_pushButtonSensorThres1Valve_clicked();
    void on_pushButtonSensorThres2Relay_clicked();
    void on_pushButtonSensorThres2Valve_clicked();
    void on_pushButtonSensorDefectRelay_clicked();
    void on_pushButtonSensorDefectValve_clicked();
    void on_pushButtonSensorFireRelay_clicked();
    void on_pushButtonSensorFireValve_clicked();

    void setProgress(int step);
    void workerDone();
    void loadConfiguration(const ConfigImage &other);

private:
    void createWorker();
    void connectFileActions();
    void setUpToolBar();
    void showFirstTime();
    void createProgressBar();

    void switchPollingMode();
    void assignToAll(int assignment);

    void startTransfer(int mode, int lastStep);
    void startWrite();

    // Document steps; each answers whether it went through.
    bool confirmDiscard();
    bool saveDocument();
    bool saveDocumentAs();
    bool saveTo(const QString &path);
    bool openChosen(const QString &path);
    bool loadFrom(const QString &path, bool quiet);
    void showCritical(const QString &text);
    void showComparison(CompareDialog::Source source, const ConfigImage &other);

    Ui::MainWindow *ui;
    ConfigImage image;
    std::unique_ptr<ConfigTables> tables;
    std::unique_ptr<FormArrangement> arrangement;
    std::unique_ptr<WindowForms> forms;
    RecentFilesMenu *recentMenu = nullptr;
    WindowState *placeKeeper = nullptr;
    SettingsDialog *settingsDialog = nullptr;
    QTimer *timer = nullptr;
    MyThread *worker = nullptr;
    std::unique_ptr<TransferIndicator> indicator;
    CompareDialog *comparison = nullptr;
    WriteRecorder *recorder = nullptr;
    QString transferLink;        // the link of the transfer in progress
    bool writeAfterRead = false; // the read in progress comes before a write
    ConfigImage compareBase; // the window as it was when the compare read began
    QString fileName;
    int statusCountdown = 0;

    // New and Open count up; a read that ends under another count belongs to
    // no file.
    quint64 documentCount = 0;
    quint64 readDocument = 0;

    QString transferStage;               // what the box says if the window closes now
    std::unique_ptr<CloseWait> closeWait;
};

#endif // MAINWINDOW_H
