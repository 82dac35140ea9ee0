#ifndef RTUFRAME_H
#define RTUFRAME_H

#include <QByteArray>
#include <QtGlobal>

// Small helpers for Modbus RTU frames (slave address, PDU, CRC low byte first):
// enough to describe a received request and to build the answers the
// simulator sends past libmodbus (a deliberately broken CRC).
class RtuFrame
{
public:
    enum Function {
        ReadHolding = 3,
        ReadInput = 4,
        WriteSingle = 6,
        WriteMultiple = 16
    };

    struct Request {
        int slave = -1;
        int function = 0;
        int address = 0;
        int count = 0;      // 1 for a single write
        int byteCount = 0;  // write multiple only
    };

    static quint16 crc16(const quint8 *data, int length);
    static quint16 crc16(const QByteArray &data);
    static QByteArray withCrc(const QByteArray &body);
    static bool crcValid(const QByteArray &frame);

    // Fields of a request frame; missing bytes read as 0.
    static Request describe(const quint8 *frame, int length);
    // Register values of a write request (big-endian on the wire).
    static int writeValues(const quint8 *frame, int length, quint16 *dest, int capacity);

    // Complete answers, CRC included.
    static QByteArray readAnswer(int slave, int function, const quint16 *values, int count);
    static QByteArray writeAnswer(const Request &request, quint16 singleValue);
    static QByteArray exceptionAnswer(int slave, int function, int code);
    static QByteArray withBrokenCrc(QByteArray frame);
};

#endif // RTUFRAME_H
