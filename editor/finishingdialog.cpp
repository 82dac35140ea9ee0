#include "finishingdialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

FinishingDialog::FinishingDialog(const QString &text, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("finishingDialog"));
    setWindowModality(Qt::ApplicationModal);
    label = new QLabel(text, this);
    auto *busy = new QProgressBar(this);
    busy->setRange(0, 0); // no end known: the bar only shows that work goes on
    busy->setTextVisible(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(busy);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString FinishingDialog::text() const
{
    return label->text();
}

void FinishingDialog::reject()
{
}
