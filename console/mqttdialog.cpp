#include "mqttdialog.h"
#include "ui_mqttdialog.h"

#include <QFileDialog>
#include <QPushButton>

MqttDialog::MqttDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::MqttDialog)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &MqttDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &MqttDialog::reject);
    connect(ui->checkPublish, &QCheckBox::toggled, this, &MqttDialog::updateEnabled);
    connect(ui->checkTls, &QCheckBox::toggled, this, &MqttDialog::tlsToggled);
    const QString certificates = tr("Сертификаты (*.crt *.pem *.cer);;Все файлы (*)");
    connect(ui->browseCaFile, &QToolButton::clicked, this, [this, certificates] {
        browse(ui->editCaFile, tr("Сертификат центра сертификации"), certificates);
    });
    connect(ui->browseCertFile, &QToolButton::clicked, this, [this, certificates] {
        browse(ui->editCertFile, tr("Сертификат клиента"), certificates);
    });
    connect(ui->browseKeyFile, &QToolButton::clicked, this, [this] {
        browse(ui->editKeyFile, tr("Ключ клиента"), tr("Ключи (*.key *.pem);;Все файлы (*)"));
    });
    ui->labelProblem->hide();
    // The standard buttons would follow the system's language, not the console's.
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("ОК"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(tr("Отмена"));
    updateEnabled();
}

MqttDialog::~MqttDialog()
{
    delete ui;
}

void MqttDialog::setSettings(const MqttSettings &s)
{
    ui->checkPublish->setChecked(s.enabled);
    ui->editHost->setText(s.host);
    ui->checkTls->blockSignals(true);
    ui->checkTls->setChecked(s.tls);
    ui->checkTls->blockSignals(false);
    ui->spinPort->setValue(s.port);
    ui->editCaFile->setText(s.caFile);
    ui->editCertFile->setText(s.certFile);
    ui->editKeyFile->setText(s.keyFile);
    ui->editUser->setText(s.user);
    ui->editPassword->setText(s.password);
    ui->editPrefix->setText(s.prefix);
    ui->labelProblem->hide();
    updateEnabled();
}

MqttSettings MqttDialog::settings() const
{
    MqttSettings s;
    s.enabled = ui->checkPublish->isChecked();
    s.host = ui->editHost->text().trimmed();
    s.port = ui->spinPort->value();
    s.tls = ui->checkTls->isChecked();
    s.caFile = ui->editCaFile->text().trimmed();
    s.certFile = ui->editCertFile->text().trimmed();
    s.keyFile = ui->editKeyFile->text().trimmed();
    s.user = ui->editUser->text().trimmed();
    s.password = ui->editPassword->text();
    s.prefix = ui->editPrefix->text().trimmed();
    return s;
}

void MqttDialog::setPasswordNote(const QString &note)
{
    ui->labelPasswordNote->setText(note);
}

void MqttDialog::accept()
{
    const MqttSettings s = settings();
    const QString problem = s.enabled ? s.problem() : QString();
    if (!problem.isEmpty()) {
        ui->labelProblem->setText(problem.left(1).toUpper() + problem.mid(1) + QLatin1Char('.'));
        ui->labelProblem->show();
        return;
    }
    QDialog::accept();
}

// The usual port follows the switch unless the user chose another.
void MqttDialog::tlsToggled(bool on)
{
    const int from = on ? MqttSettings::PlainPort : MqttSettings::TlsPort;
    if (ui->spinPort->value() == from)
        ui->spinPort->setValue(on ? MqttSettings::TlsPort : MqttSettings::PlainPort);
    updateEnabled();
}

void MqttDialog::browse(QLineEdit *edit, const QString &title, const QString &filter)
{
    const QString path = QFileDialog::getOpenFileName(this, title, edit->text(), filter);
    if (!path.isEmpty())
        edit->setText(path);
}

void MqttDialog::updateEnabled()
{
    ui->labelProblem->hide(); // about settings that have just changed
    ui->fields->setEnabled(ui->checkPublish->isChecked());
    const bool tls = ui->checkTls->isChecked();
    for (QWidget *w : { static_cast<QWidget *>(ui->editCaFile), static_cast<QWidget *>(ui->browseCaFile),
                        static_cast<QWidget *>(ui->editCertFile), static_cast<QWidget *>(ui->browseCertFile),
                        static_cast<QWidget *>(ui->editKeyFile), static_cast<QWidget *>(ui->browseKeyFile),
                        static_cast<QWidget *>(ui->labelCaFile), static_cast<QWidget *>(ui->labelCertFile),
                        static_cast<QWidget *>(ui->labelKeyFile) })
        w->setEnabled(tls);
}
