#include "writerecorder.h"

#include "configdiff.h"
#include "configfile.h"
#include "engineer.h"
#include "linktarget.h"
#include "protocoldialog.h"
#include "writehistorydialog.h"
#include "configtransfer.h"

#include <QMessageBox>
#include <QSettings>
#include <QWidget>

WriteRecorder::WriteRecorder(QWidget *window) : QObject(window), window(window) {}

QString WriteRecorder::linkText(const LinkTarget &target)
{
    if (target.isTcp())
        return tr("Modbus TCP %1, устройство %2").arg(target.peerName()).arg(target.slave);
    return tr("COM-порт %1, адрес %2").arg(target.portPath).arg(target.slave);
}

void WriteRecorder::readArrived(const QString &link, const ConfigImage &image, bool readFirst)
{
    known.insert(link, {image, readFirst ? WriteRecord::BeforeReadFirst : WriteRecord::BeforeRead,
                        QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")),
                        ProtocolDocument::clockText(image)});
}

bool WriteRecorder::readFirst()
{
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                             QStringLiteral("Editor"));
    return settings.value(QStringLiteral("readBeforeWrite"), false).toBool();
}

void WriteRecorder::setReadFirst(bool on)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                       QStringLiteral("Editor"));
    settings.setValue(QStringLiteral("readBeforeWrite"), on);
}

ProtocolDocument::Content WriteRecorder::protocolContent(const QString &link, const ConfigImage &image)
{
    ProtocolDocument::Content content;
    content.link = link;
    content.engineer = Engineer::name();
    content.date = QDateTime::currentDateTime();
    content.image = image;
    const auto found = known.constFind(link);
    if (found != known.constEnd() && !found->clock.isEmpty())
        content.controllerTime = tr("%1 (прочитано %2)").arg(found->clock, found->readAt);
    WriteRecord previous;
    ConfigImage written;
    WriteLog *records = log();
    if (records && records->lastReached(link, 0, &previous)
        && ConfigFile::fromBytes(previous.written, &written)) {
        content.hasPrevious = true;
        content.previousWrite = previous.started;
        content.differences = ConfigDiff::compare(written, image);
    }
    return content;
}

WriteLog *WriteRecorder::log()
{
    if (writeLog.isOpen())
        return &writeLog;
    if (!writeLog.open(WriteLog::defaultPath()))
        return nullptr;
    // A file set aside: said once, the records go on in the new file.
    if (!writeLog.problem().isEmpty())
        QMessageBox::warning(window, tr("Внимание"), writeLog.problem(), QMessageBox::Ok);
    return &writeLog;
}

bool WriteRecorder::beginWrite(const QString &link, const ConfigImage &written)
{
    current = WriteRecord();
    current.started = QDateTime::currentDateTime();
    current.engineer = Engineer::name();
    current.link = link;
    current.written = ConfigFile::toBytes(written);
    const auto found = known.constFind(link);
    if (found != known.constEnd()) {
        current.before = ConfigFile::toBytes(found->image);
        current.beforeSource = found->source;
    }
    currentImage = written;
    lastProgress = -1;
    pending = WriteRecord::Unfinished;
    pendingText.clear();
    WriteLog *records = log();
    if (records && records->begin(current)) {
        refreshHistory();
        return true;
    }
    current.id = 0;
    const QString problem = records ? records->problem() : writeLog.problem();
    return askWriteWithoutRecord(problem);
}

bool WriteRecorder::askWriteWithoutRecord(const QString &problem)
{
    return QMessageBox::question(window, tr("Внимание"),
                                 tr("Запись в контроллер не будет сохранена в истории записей: %1\n"
                                    "Записать конфигурацию без сохранения в истории?")
                                     .arg(problem),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void WriteRecorder::progress(int step)
{
    if (isRecording())
        lastProgress = step;
}

void WriteRecorder::status(const QString &text)
{
    const WriteRecord::Outcome outcome = WriteRecord::outcomeOfStatus(text);
    if (isRecording() && outcome != WriteRecord::Unfinished) {
        pending = outcome;
        pendingText = text;
    }
}

// A failure to connect sent nothing; a failed request names the step it stopped at.
void WriteRecorder::failed(const QString &text)
{
    if (!isRecording())
        return;
    const QString shown = text.simplified();
    if (text != ConfigTransfer::writeFailedText()) {
        finish(WriteRecord::Failed, shown);
        return;
    }
    // Part of the configuration may have gone: what the controller holds is unknown now.
    known.remove(current.link);
    finish(WriteRecord::Failed, tr("%1 (шаг: %2)").arg(shown, WriteRecord::stepName(lastProgress)));
}

void WriteRecorder::writeComplete()
{
    if (!isRecording())
        return;
    if (pending == WriteRecord::Unfinished) // every ending says how it went; be safe all the same
        finish(WriteRecord::Written, QString());
    else
        finish(pending, pendingText);
}

void WriteRecorder::finish(WriteRecord::Outcome outcome, const QString &text)
{
    const qint64 id = current.id;
    current.id = 0;
    if (outcome != WriteRecord::Failed)
        known.insert(current.link, {currentImage, WriteRecord::BeforeWritten, QString(), QString()});
    if (!writeLog.finish(id, outcome, text, QDateTime::currentDateTime()))
        QMessageBox::warning(window, tr("Внимание"),
                             tr("Итог записи не сохранён в истории записей: %1").arg(writeLog.problem()),
                             QMessageBox::Ok);
    refreshHistory();
}

// An open history follows the writes as they begin and end.
void WriteRecorder::refreshHistory()
{
    if (history && history->isVisible())
        history->reload(&writeLog, QString());
}

void WriteRecorder::showHistory()
{
    if (!history) {
        history = new WriteHistoryDialog(window);
        connect(history, &WriteHistoryDialog::loadRequested, this, &WriteRecorder::loadRequested);
    }
    WriteLog *records = log();
    history->reload(records, records ? QString() : writeLog.problem());
    history->show();
    history->raise();
}

void WriteRecorder::showProtocol(const QString &link, const ConfigImage &image)
{
    ProtocolDialog dialog(protocolContent(link, image), window);
    dialog.exec();
}
