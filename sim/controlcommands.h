#ifndef CONTROLCOMMANDS_H
#define CONTROLCOMMANDS_H

#include <QString>
#include <QStringList>

class Simulator;

// The text commands that drive a running simulator, from standard input or
// the control socket: one line in, a reply text out (several lines at most).
// No I/O of its own, so it is tested directly.
class ControlCommands
{
public:
    ControlCommands(Simulator &simulator, const QString &savePath = QString());

    QString execute(const QString &line);
    bool quitRequested() const { return quit; }
    QString savePath() const { return defaultSavePath; }
    // Writes the configuration to the --save file, if there is one.
    QString saveOnExit();

    static QString helpText();

private:
    QString help(const QStringList &args);
    QString quitCommand(const QStringList &args);
    QString event(const QStringList &args);
    QString clear(const QStringList &args);
    QString remove(const QStringList &args);
    QString status(const QStringList &args);
    QString commit(const QStringList &args);
    QString simCard(const QStringList &args);
    QString ack(const QStringList &args);
    QString fault(const QStringList &args);
    QString failRange(const QStringList &args);
    QString get(const QStringList &args);
    QString set(const QStringList &args);
    QString save(const QStringList &args);
    QString load(const QStringList &args);
    QString demo(const QStringList &args);
    QString statistics(const QStringList &args);
    QString requests(const QStringList &args);
    QString events(const QStringList &args);
    QString slave(const QStringList &args);

    Simulator &sim;
    QString defaultSavePath;
    bool quit = false;
};

#endif // CONTROLCOMMANDS_H
