#ifndef CONTROLSERVER_H
#define CONTROLSERVER_H

#include <QByteArray>
#include <QObject>
#include <QString>

class ControlCommands;
class QLocalServer;
class QLocalSocket;
class QSocketNotifier;

// Feeds command lines from standard input and from clients of a local socket
// to ControlCommands and sends back the replies. Emits quitRequested() after
// a "quit".
class ControlServer : public QObject
{
    Q_OBJECT

public:
    explicit ControlServer(ControlCommands &commands, QObject *parent = nullptr);
    ~ControlServer() override;

    void watchStandardInput();
    bool listen(const QString &path, QString *error);

signals:
    void quitRequested();

private slots:
    void readStandardInput();
    void acceptClient();
    void readClient(QLocalSocket *client);

private:
    QByteArray answer(const QByteArray &line);

    ControlCommands &commands;
    QSocketNotifier *stdinNotifier = nullptr;
    QLocalServer *server = nullptr;
    QByteArray stdinBuffer;
};

#endif // CONTROLSERVER_H
