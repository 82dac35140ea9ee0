#ifndef SERVICENOTIFIER_H
#define SERVICENOTIFIER_H

#include <QString>

#include <chrono>

// Tells the service manager how the service is doing (sd_notify). Outside
// systemd (no NOTIFY_SOCKET) every call does nothing, so the program runs the
// same by hand.
class ServiceNotifier
{
public:
    void ready();     // polling has started
    void reloading(); // follow with ready() when the new configuration runs
    void stopping();
    void status(const QString &text);

    // How often the manager expects WATCHDOG=1, from WATCHDOG_USEC; zero when
    // the watchdog is off or meant for another process.
    std::chrono::milliseconds watchdogInterval() const;
    void watchdogPing();

private:
    void notify(const QByteArray &state);
};

#endif // SERVICENOTIFIER_H
