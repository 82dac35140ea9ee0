#ifndef SETTINGSDIALOG_H
#define SETTINGSDIALOG_H

#include "settings.h"

#include <QDialog>
#include <QStringList>

class QIntValidator;
class QSerialPortInfo;

namespace Ui {
class SettingsDialog;
}

// The link settings both programs share: a serial port and baud rate or a
// Modbus TCP gateway, and the Modbus address, kept between runs in the store
// "Tarvik"/"Options". Only "Ок" stores the choice and changes settings();
// closing the dialog otherwise keeps both. A TCP choice with a bad host or
// port is refused with a message and stores nothing.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

    Settings settings() const;

    // The seven texts kept as a port item's data: name, description,
    // manufacturer, serial number, location, vendor and product identifier.
    static QStringList portDetails(const QString &name, const QString &description,
                                   const QString &manufacturer, const QString &serialNumber,
                                   const QString &location, quint16 vendorId, quint16 productId);

    // Device paths named in TARVIK_PORTS, for virtual ports enumeration misses.
    static QStringList extraPortPaths();

    // Why "Ок" would be refused now, in Russian; empty when the choice is sound.
    QString choiceProblem() const;

private slots:
    void showPortInfo(int index);
    void apply();
    void checkCustomBaudRatePolicy(int index);
    void showLinkKind();

private:
    void fillParameters();
    void fillPortsInfo();
    void addPort(const QString &name, const QStringList &details);
    void loadStoredChoice();
    bool tcpChosen() const;
    void updateSettings();

    Ui::SettingsDialog *ui;
    Settings currentSettings;
    QIntValidator *intValidator;
};

#endif // SETTINGSDIALOG_H
