#ifndef WRITERECORDER_H
#define WRITERECORDER_H

#include "configimage.h"
#include "protocoldocument.h"
#include "writelog.h"

#include <QHash>
#include <QObject>

struct LinkTarget;
class QWidget;
class WriteHistoryDialog;

// The window's side of the record of writes: what this session last read
// from (or wrote to) each link, and the row of the write in progress, begun
// before the worker is woken and completed from the worker's reports.
// Nothing here stops a write on its own: when the record cannot be kept the
// user decides.
class WriteRecorder : public QObject
{
    Q_OBJECT

public:
    explicit WriteRecorder(QWidget *window);

    // "COM-порт /dev/ttyUSB0, адрес 1" or "Modbus TCP 10.0.0.5:502, устройство 1".
    static QString linkText(const LinkTarget &target);

    // A read of the whole configuration from `link` (Read, a comparison, or
    // the read before a write when `readFirst`).
    void readArrived(const QString &link, const ConfigImage &image, bool readFirst);

    // Stores the write's row before its first request. False when the row
    // cannot be kept and the user chose not to write without it.
    bool beginWrite(const QString &link, const ConfigImage &written);
    bool isRecording() const { return current.id != 0; }

    // The worker's reports during a write.
    void progress(int step);
    void status(const QString &text);
    void failed(const QString &text);
    void writeComplete();

    // "Читать перед записью", kept in the user's settings.
    static bool readFirst();
    static void setReadFirst(bool on);

    // A protocol of `image` for `link`: the controller's clock when it was
    // read in this session, the differences from the last write that reached it.
    ProtocolDocument::Content protocolContent(const QString &link, const ConfigImage &image);

    // "История записей" (one dialog, reused) and "Протокол настройки…".
    void showHistory();
    WriteHistoryDialog *historyDialog() const { return history; }
    void showProtocol(const QString &link, const ConfigImage &image);

    // The record file, opened on first use; null when it cannot be used
    // (the user has been told why).
    WriteLog *log();

signals:
    // A configuration from the record to be shown in the window.
    void loadRequested(const ConfigImage &image);

protected:
    // Yes: write without a record.
    virtual bool askWriteWithoutRecord(const QString &problem);

private:
    void finish(WriteRecord::Outcome outcome, const QString &text);
    void refreshHistory();

    struct Known {
        ConfigImage image;
        WriteRecord::Before source;
        QString readAt; // when it was read; empty for a written one
        QString clock;  // the controller's clock as read
    };

    QWidget *window;
    WriteHistoryDialog *history = nullptr;
    WriteLog writeLog;
    bool logTried = false;
    QHash<QString, Known> known;
    WriteRecord current;
    ConfigImage currentImage;
    int lastProgress = -1;
    WriteRecord::Outcome pending = WriteRecord::Unfinished;
    QString pendingText;
};

#endif // WRITERECORDER_H
