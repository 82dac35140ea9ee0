#include "documentdialogs.h"

#include <QDir>
#include <QFileDialog>

QString DocumentDialogs::openFileName(QWidget *parent)
{
    return QFileDialog::getOpenFileName(parent, tr("Открыть файл"), QString(), tr("ВелиДор (*.vlr)"));
}

QString DocumentDialogs::saveFileName(QWidget *parent)
{
    return QFileDialog::getSaveFileName(parent, tr("Сохранить файл"),
                                        QDir::current().filePath(QStringLiteral("ВелиДор")),
                                        tr("ВелиДор (*.vlr)"));
}

QString DocumentDialogs::compareFileName(QWidget *parent)
{
    return QFileDialog::getOpenFileName(parent, tr("Сравнить с файлом"), QString(),
                                        tr("ВелиДор (*.vlr)"));
}

QMessageBox::StandardButton DocumentDialogs::saveChanges(QWidget *parent)
{
    QMessageBox box(QMessageBox::Information, tr("Внимание"), tr("Сохранить изменение в файле"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setEscapeButton(QMessageBox::Cancel);
    return QMessageBox::StandardButton(box.exec());
}
