#include "rtuframe.h"

quint16 RtuFrame::crc16(const quint8 *data, int length)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

quint16 RtuFrame::crc16(const QByteArray &data)
{
    return crc16(reinterpret_cast<const quint8 *>(data.constData()), data.size());
}

QByteArray RtuFrame::withCrc(const QByteArray &body)
{
    const quint16 crc = crc16(body);
    QByteArray frame = body;
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

bool RtuFrame::crcValid(const QByteArray &frame)
{
    if (frame.size() < 4)
        return false;
    const QByteArray body = frame.left(frame.size() - 2);
    return withCrc(body) == frame;
}

RtuFrame::Request RtuFrame::describe(const quint8 *frame, int length)
{
    auto byteAt = [&](int i) { return i < length ? int(frame[i]) : 0; };
    auto wordAt = [&](int i) { return (byteAt(i) << 8) | byteAt(i + 1); };
    Request request;
    request.slave = byteAt(0);
    request.function = byteAt(1);
    request.address = wordAt(2);
    switch (request.function) {
    case 5:
    case WriteSingle:
        request.count = 1;
        break;
    case WriteMultiple:
        request.count = wordAt(4);
        request.byteCount = byteAt(6);
        break;
    default:
        request.count = wordAt(4);
    }
    return request;
}

int RtuFrame::writeValues(const quint8 *frame, int length, quint16 *dest, int capacity)
{
    const Request request = describe(frame, length);
    if (request.function == WriteSingle && length >= 6 && capacity >= 1) {
        dest[0] = quint16((frame[4] << 8) | frame[5]);
        return 1;
    }
    if (request.function != WriteMultiple || request.count > capacity
        || length < 7 + 2 * request.count)
        return 0;
    for (int i = 0; i < request.count; ++i)
        dest[i] = quint16((frame[7 + 2 * i] << 8) | frame[8 + 2 * i]);
    return request.count;
}

QByteArray RtuFrame::readAnswer(int slave, int function, const quint16 *values, int count)
{
    QByteArray body;
    body.append(char(slave));
    body.append(char(function));
    body.append(char(2 * count));
    for (int i = 0; i < count; ++i) {
        body.append(char(values[i] >> 8));
        body.append(char(values[i] & 0xFF));
    }
    return withCrc(body);
}

QByteArray RtuFrame::writeAnswer(const Request &request, quint16 singleValue)
{
    const int second = request.function == WriteSingle ? singleValue : request.count;
    QByteArray body;
    body.append(char(request.slave));
    body.append(char(request.function));
    body.append(char(request.address >> 8));
    body.append(char(request.address & 0xFF));
    body.append(char(second >> 8));
    body.append(char(second & 0xFF));
    return withCrc(body);
}

QByteArray RtuFrame::exceptionAnswer(int slave, int function, int code)
{
    QByteArray body;
    body.append(char(slave));
    body.append(char(function | 0x80));
    body.append(char(code));
    return withCrc(body);
}

QByteArray RtuFrame::withBrokenCrc(QByteArray frame)
{
    if (frame.size() >= 2)
        frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
    return frame;
}
