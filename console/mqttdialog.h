#ifndef MQTTDIALOG_H
#define MQTTDIALOG_H

#include "mqttsettings.h"

#include <QDialog>

namespace Ui {
class MqttDialog;
}

// The publishing settings: broker, TLS files, login, topic prefix. OK is
// refused, with the reason shown, while publishing is on and the settings
// cannot work; the caller stores what settings() returns.
class MqttDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MqttDialog(QWidget *parent = nullptr);
    ~MqttDialog() override;

    void setSettings(const MqttSettings &settings);
    MqttSettings settings() const;
    // Where the password is kept, or why only for this session.
    void setPasswordNote(const QString &note);

    void accept() override;

private:
    void tlsToggled(bool on);
    void browse(class QLineEdit *edit, const QString &title, const QString &filter);
    void updateEnabled();

    Ui::MqttDialog *ui;
};

#endif // MQTTDIALOG_H
