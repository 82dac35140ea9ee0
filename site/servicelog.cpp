#include "servicelog.h"

#include <QString>

#include <cstring>
#include <unistd.h>

namespace {

void writeLine(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const QByteArray line = ServiceLog::format(type, context.category, text);
    // One write per line, so lines of several threads do not interleave.
    const char *data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, size_t(left));
        if (written <= 0)
            return;
        data += written;
        left -= written;
    }
}

} // namespace

void ServiceLog::install()
{
    qInstallMessageHandler(writeLine);
}

int ServiceLog::priority(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return 7;
    case QtInfoMsg:
        return 5;
    case QtWarningMsg:
        return 4;
    case QtCriticalMsg:
    case QtFatalMsg:
        break;
    }
    return 3;
}

QByteArray ServiceLog::format(QtMsgType type, const char *category, const QString &text)
{
    QString body = text;
    body.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '))
        .replace(QLatin1Char('\r'), QLatin1Char(' '));
    QByteArray line = '<' + QByteArray::number(priority(type)) + '>';
    if (category && std::strcmp(category, "default") != 0)
        line += QByteArray(category) + ": ";
    return line + body.toUtf8() + '\n';
}
