#ifndef SERVICELOG_H
#define SERVICELOG_H

#include <QtGlobal>

// Log lines as journald reads them from standard error: "<N>" with the
// syslog priority, then the category (when not the default one) and the
// text, one line per message, no time stamp (journald adds it). Priorities:
// critical and fatal 3 (err), warning 4 (warning), info 5 (notice: the
// service's info lines are the ones an operator reads, such as a lost
// controller), debug 7 (debug).
class ServiceLog
{
public:
    static void install();
    static QByteArray format(QtMsgType type, const char *category, const QString &text);
    static int priority(QtMsgType type);
};

#endif // SERVICELOG_H
