#ifndef TCPSERVER_H
#define TCPSERVER_H

#include <QString>

#include <atomic>
#include <thread>

class Simulator;
struct _modbus;
typedef struct _modbus modbus_t;
struct _modbus_mapping_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

// Serves the simulator's controller over Modbus TCP, as a controller behind
// a gateway would be reached: one client at a time, the next ones waiting in
// the listen queue until the one served goes. Its own thread; the fault plan
// applies as on a serial port, plus closing the connection.
class TcpServer
{
public:
    explicit TcpServer(Simulator &simulator);
    ~TcpServer();
    TcpServer(const TcpServer &) = delete;
    TcpServer &operator=(const TcpServer &) = delete;

    // Binds host:port (port 0: any free one) and starts serving; false with
    // *error set when the address cannot be had.
    bool listen(const QString &host, int port, QString *error = nullptr);
    void stop();

    int port() const { return boundPort; } // the port bound, once listening
    int connectionsAccepted() const { return accepted; }

    // "[HOST:]PORT" as given on the command line; false when it names no port.
    static bool parseAddress(const QString &text, QString *host, int *port);

private:
    void run();
    void serveClient();
    bool serveRequest(const quint8 *request, int length);
    bool pause(int milliseconds);
    void closeClient();

    Simulator &sim;
    modbus_t *ctx = nullptr;
    modbus_mapping_t *mapping = nullptr;
    int listenSocket = -1;
    int clientSocket = -1;
    int boundPort = 0;
    int wakePipe[2] = {-1, -1};
    std::atomic<int> accepted{0};
    std::atomic<bool> stopRequested{false};
    std::thread thread;
};

#endif // TCPSERVER_H
