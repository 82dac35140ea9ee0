// libFuzzer target: any bytes, as the payload of each kind of message a site
// publishes, are taken within bounds or refused, never crash.
#include "payloadcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString failure = PayloadCheck::check(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    if (!failure.isEmpty())
        qFatal("%s", qPrintable(failure));
    return 0;
}
