#ifndef CONNECTIONDIALOG_H
#define CONNECTIONDIALOG_H

#include "mqttdialog.h"

// The console's MQTT dialog as the dispatcher needs it: the same broker
// fields, always on, and the topic root to watch in place of the prefix.
class ConnectionDialog : public MqttDialog
{
    Q_OBJECT

public:
    explicit ConnectionDialog(QWidget *parent = nullptr);
};

#endif // CONNECTIONDIALOG_H
