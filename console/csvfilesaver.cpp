#include "csvfilesaver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

QString CsvFileSaver::askPath(QWidget *parent, const QString &suggestedName)
{
    return QFileDialog::getSaveFileName(
        parent, QCoreApplication::translate("CsvFileSaver", "Сохранить в CSV"), suggestedName,
        QCoreApplication::translate("CsvFileSaver", "Файлы CSV (*.csv)"));
}

CsvFileSaver::Result CsvFileSaver::save(QWidget *parent, const QString &path, const Writer &write)
{
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly))
        return fail(parent, path, file.errorString());
    const Result result = write(&file, &reason);
    if (result != Saved) {
        file.cancelWriting();
        return result == Cancelled ? Cancelled
                                   : fail(parent, path, reason.isEmpty() ? file.errorString() : reason);
    }
    if (!file.commit())
        return fail(parent, path, file.errorString());
    return Saved;
}

CsvFileSaver::Result CsvFileSaver::fail(QWidget *parent, const QString &path, const QString &reason)
{
    QMessageBox::critical(parent, QCoreApplication::translate("CsvFileSaver", "Внимание"),
                          failureText(path, reason));
    return Failed;
}

QString CsvFileSaver::failureText(const QString &path, const QString &reason)
{
    return QCoreApplication::translate("CsvFileSaver", "Не удалось сохранить файл «%1»: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}
