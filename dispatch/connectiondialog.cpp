#include "connectiondialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

ConnectionDialog::ConnectionDialog(QWidget *parent) : MqttDialog(parent)
{
    setWindowTitle(tr("Подключение к брокеру"));
    if (auto *publish = findChild<QCheckBox *>(QStringLiteral("checkPublish"))) {
        publish->setChecked(true); // the dispatcher is nothing without its broker
        publish->hide();
    }
    if (auto *label = findChild<QLabel *>(QStringLiteral("labelPrefix")))
        label->setText(tr("Корень тем:"));
    if (auto *root = findChild<QLineEdit *>(QStringLiteral("editPrefix")))
        root->setToolTip(tr("Площадки публикуют под «корень/площадка/…»; по умолчанию tarvik"));
}
