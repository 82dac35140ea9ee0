#ifndef SETTINGS_H
#define SETTINGS_H

#include <QString>

// The link choice the settings dialog hands out, copied on every request.
struct Settings
{
    QString portName;   // as the platform lists it (COM3), no path prefix; empty when none
    int baudRate = 9600;
    int address = 1;    // Modbus slave address, 1 to 247
};

#endif // SETTINGS_H
