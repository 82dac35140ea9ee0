#include "unixsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int pipeFds[2] = {-1, -1}; // [0] read by the event loop, [1] written by the handler
const int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onSignal(int number)
{
    const int savedErrno = errno;
    const char byte = char(number);
    // A full pipe drops the byte; the ones already queued still wake the loop.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

bool setNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool installHandler(int number, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(number, &action, nullptr) == 0;
}

} // namespace

UnixSignals::UnixSignals(QObject *parent) : QObject(parent)
{
    Q_ASSERT(pipeFds[0] < 0); // one object per process
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeFds) != 0)
        return;
    if (!setNonBlocking(pipeFds[0]) || !setNonBlocking(pipeFds[1]))
        return;
    notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &UnixSignals::readSignals);
    valid = true;
    for (int number : handledSignals)
        valid = installHandler(number, onSignal) && valid;
}

UnixSignals::~UnixSignals()
{
    for (int number : handledSignals)
        installHandler(number, SIG_DFL);
    delete notifier;
    for (int &fd : pipeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void UnixSignals::readSignals()
{
    char numbers[64];
    ssize_t count = 0;
    while ((count = ::read(pipeFds[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            if (numbers[i] == SIGHUP)
                emit reload();
            else
                emit terminate();
        }
    }
}
