#include "controlserver.h"

#include "controlcommands.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr int MaxLineLength = 4096; // a longer "line" is noise, not a command

} // namespace

ControlServer::ControlServer(ControlCommands &commands, QObject *parent)
    : QObject(parent)
    , commands(commands)
{
}

ControlServer::~ControlServer() = default;

void ControlServer::watchStandardInput()
{
#ifdef Q_OS_UNIX
    stdinNotifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(stdinNotifier, &QSocketNotifier::activated, this, &ControlServer::readStandardInput);
#endif
}

bool ControlServer::listen(const QString &path, QString *error)
{
    server = new QLocalServer(this);
    QLocalServer::removeServer(path);
    if (!server->listen(path)) {
        if (error)
            *error = server->errorString();
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, &ControlServer::acceptClient);
    return true;
}

QByteArray ControlServer::answer(const QByteArray &line)
{
    QByteArray reply = commands.execute(QString::fromUtf8(line)).toUtf8();
    if (!reply.isEmpty())
        reply.append('\n');
    if (commands.quitRequested())
        QMetaObject::invokeMethod(this, &ControlServer::quitRequested, Qt::QueuedConnection);
    return reply;
}

void ControlServer::readStandardInput()
{
#ifdef Q_OS_UNIX
    char buffer[1024];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // End of input (a detached run): keep serving, stop watching.
        stdinNotifier->setEnabled(false);
        return;
    }
    stdinBuffer.append(buffer, int(n));
    int end;
    while ((end = stdinBuffer.indexOf('\n')) >= 0) {
        const QByteArray reply = answer(stdinBuffer.left(end));
        stdinBuffer.remove(0, end + 1);
        std::fwrite(reply.constData(), 1, size_t(reply.size()), stdout);
        std::fflush(stdout);
    }
    if (stdinBuffer.size() > MaxLineLength)
        stdinBuffer.clear();
#endif
}

void ControlServer::acceptClient()
{
    while (QLocalSocket *client = server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readClient(client); });
    }
}

void ControlServer::readClient(QLocalSocket *client)
{
    while (client->canReadLine())
        client->write(answer(client->readLine().trimmed()));
    // Send now: a client that shut down its sending side (echo cmd | socat)
    // makes the socket close before the event loop would write.
    client->flush();
    if (client->bytesAvailable() > MaxLineLength)
        client->readAll();
}
