#include "tcpserver.h"

#include "controllerstate.h"
#include "simulator.h"

#include <QRegularExpression>

#include <modbus.h>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

constexpr int ListenQueue = 8;
constexpr int MbapHeaderLength = 7; // transaction, protocol, length, unit

} // namespace

TcpServer::TcpServer(Simulator &simulator)
    : sim(simulator)
{
}

TcpServer::~TcpServer()
{
    stop();
}

bool TcpServer::parseAddress(const QString &text, QString *host, int *port)
{
    static const QRegularExpression form(QStringLiteral("^(?:(?:\\[([^\\]]+)\\]|([^:\\[\\]]+)):)?(\\d{1,5})$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    const int number = match.captured(3).toInt();
    if (number > 65535)
        return false;
    const QString named = match.captured(1) + match.captured(2);
    *host = named.isEmpty() ? QStringLiteral("127.0.0.1") : named;
    *port = number;
    return true;
}

#ifdef Q_OS_UNIX

bool TcpServer::listen(const QString &host, int port, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("cannot listen on %1 port %2: %3").arg(host).arg(port).arg(why);
        stop();
        return false;
    };
    if (ctx)
        return fail(QStringLiteral("already listening"));
    ctx = modbus_new_tcp_pi(host.toUtf8().constData(), QByteArray::number(port).constData());
    if (!ctx)
        return fail(QString::fromLocal8Bit(modbus_strerror(errno)));
    listenSocket = modbus_tcp_pi_listen(ctx, ListenQueue);
    if (listenSocket < 0)
        return fail(QString::fromLocal8Bit(modbus_strerror(errno)));
    sockaddr_storage bound {};
    socklen_t size = sizeof bound;
    if (getsockname(listenSocket, reinterpret_cast<sockaddr *>(&bound), &size) != 0)
        return fail(QString::fromLocal8Bit(strerror(errno)));
    boundPort = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port)
                                            : ntohs(reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
    mapping = modbus_mapping_new(0, 0, ControllerState::HoldingSpan, ControllerState::InputSpan);
    if (!mapping || pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail(QStringLiteral("out of resources"));
    stopRequested = false;
    thread = std::thread(&TcpServer::run, this);
    return true;
}

void TcpServer::stop()
{
    stopRequested = true;
    if (thread.joinable()) {
        const char byte = 1;
        if (::write(wakePipe[1], &byte, 1) < 0) {
            // The pipe is full, so the thread is awake already.
        }
        thread.join();
    }
    closeClient();
    for (int *fd : { &listenSocket, &wakePipe[0], &wakePipe[1] }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    if (mapping)
        modbus_mapping_free(mapping);
    mapping = nullptr;
    if (ctx)
        modbus_free(ctx);
    ctx = nullptr;
}

void TcpServer::run()
{
    while (!stopRequested) {
        const int watched = clientSocket >= 0 ? clientSocket : listenSocket;
        pollfd fds[2] = { { wakePipe[0], POLLIN, 0 }, { watched, POLLIN, 0 } };
        const int ready = ::poll(fds, 2, -1);
        if (stopRequested)
            break;
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0 || !fds[1].revents)
            continue;
        if (clientSocket >= 0) {
            serveClient();
            continue;
        }
        const int client = ::accept4(listenSocket, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            clientSocket = client;
            modbus_set_socket(ctx, client);
            ++accepted;
        }
    }
}

// One request from the client served; a gone client is closed.
void TcpServer::serveClient()
{
    quint8 request[MODBUS_TCP_MAX_ADU_LENGTH];
    const int length = modbus_receive(ctx, request);
    if (length < 0) {
        closeClient();
        return;
    }
    if (length > MbapHeaderLength - 1)
        serveRequest(request, length);
}

bool TcpServer::serveRequest(const quint8 *request, int length)
{
    const Simulator::Answer answer = sim.answerTcpRequest(request + MbapHeaderLength - 1,
                                                          length - (MbapHeaderLength - 1));
    if (!pause(answer.delayMs))
        return false;
    switch (answer.kind) {
    case Simulator::Answer::Normal:
        if (!answer.values.isEmpty()) {
            uint16_t *table = answer.function == 3 ? mapping->tab_registers : mapping->tab_input_registers;
            std::copy(answer.values.cbegin(), answer.values.cend(), table + answer.address);
        }
        modbus_reply(ctx, request, length, mapping);
        return true;
    case Simulator::Answer::Exception:
        modbus_reply_exception(ctx, request, unsigned(answer.exception));
        return true;
    case Simulator::Answer::Close:
        closeClient();
        return false;
    case Simulator::Answer::None:
    case Simulator::Answer::Broken:
        return true;
    }
    return true;
}

// Sleeps without delaying stop(); false when stopping.
bool TcpServer::pause(int milliseconds)
{
    if (milliseconds > 0) {
        pollfd fd = { wakePipe[0], POLLIN, 0 };
        ::poll(&fd, 1, milliseconds);
    }
    return !stopRequested;
}

void TcpServer::closeClient()
{
    if (clientSocket < 0)
        return;
    ::close(clientSocket);
    clientSocket = -1;
    if (ctx)
        modbus_set_socket(ctx, listenSocket);
}

#else

bool TcpServer::listen(const QString &, int, QString *error)
{
    if (error)
        *error = QStringLiteral("Modbus TCP serving needs a Unix system");
    return false;
}

void TcpServer::stop() {}
void TcpServer::run() {}
void TcpServer::serveClient() {}
bool TcpServer::serveRequest(const quint8 *, int) { return false; }
bool TcpServer::pause(int) { return false; }
void TcpServer::closeClient() {}

#endif
