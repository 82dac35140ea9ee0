#ifndef NOTIFYSOCKET_H
#define NOTIFYSOCKET_H

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

// The service manager's end of sd_notify for a test: a datagram socket in a
// temporary folder. Point NOTIFY_SOCKET at path() (also for a child process)
// and read what arrived with take().
class NotifySocket
{
public:
    NotifySocket()
    {
        socketPath = folder.filePath(QStringLiteral("notify"));
        const QByteArray name = QFile::encodeName(socketPath);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (!folder.isValid() || size_t(name.size()) >= sizeof address.sun_path)
            return;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~NotifySocket()
    {
        if (fd >= 0)
            ::close(fd);
    }
    NotifySocket(const NotifySocket &) = delete;
    NotifySocket &operator=(const NotifySocket &) = delete;

    bool isValid() const { return fd >= 0; }
    QString path() const { return socketPath; }

    // Every message received since the last call, oldest first.
    QList<QByteArray> take()
    {
        QList<QByteArray> messages;
        char buffer[4096];
        ssize_t count = 0;
        while (fd >= 0 && (count = recv(fd, buffer, sizeof buffer, 0)) >= 0)
            messages << QByteArray(buffer, int(count));
        return messages;
    }

private:
    QTemporaryDir folder;
    QString socketPath;
    int fd = -1;
};

#endif // NOTIFYSOCKET_H
