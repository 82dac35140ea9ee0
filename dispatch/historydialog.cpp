#include "historydialog.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

HistoryDialog::HistoryDialog(const QStringList &sites, const QString &chosen, QWidget *parent)
    : QDialog(parent), siteBox(new QComboBox(this)), fromEdit(new QDateTimeEdit(this)), toEdit(new QDateTimeEdit(this))
{
    setWindowTitle(tr("Загрузить историю"));
    siteBox->addItems(sites);
    siteBox->setCurrentText(chosen);
    const QDateTime now = QDateTime::currentDateTime();
    for (QDateTimeEdit *edit : { fromEdit, toEdit }) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    }
    fromEdit->setDateTime(now.addDays(-1));
    toEdit->setDateTime(now);
    auto *form = new QFormLayout(this);
    form->addRow(tr("Площадка:"), siteBox);
    form->addRow(tr("С:"), fromEdit);
    form->addRow(tr("По:"), toEdit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Загрузить"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Отмена"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!sites.isEmpty());
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString HistoryDialog::site() const
{
    return siteBox->currentText();
}

QDateTime HistoryDialog::since() const
{
    return fromEdit->dateTime();
}

QDateTime HistoryDialog::until() const
{
    return toEdit->dateTime();
}
