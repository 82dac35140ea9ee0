#ifndef UNIXSIGNALS_H
#define UNIXSIGNALS_H

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGINT become terminate(), SIGHUP reload(), delivered on the
// thread that made this object. The handler only writes the signal's number
// to a socket pair (async-signal-safe); the event loop reads it. One object
// per process: the handlers are process-wide and put back on destruction.
class UnixSignals : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignals(QObject *parent = nullptr);
    ~UnixSignals() override;

    // False when the socket pair or a handler could not be set up.
    bool isValid() const { return valid; }

signals:
    void terminate();
    void reload();

private:
    void readSignals();

    QSocketNotifier *notifier = nullptr;
    bool valid = false;
};

#endif // UNIXSIGNALS_H
