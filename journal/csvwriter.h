#ifndef CSVWRITER_H
#define CSVWRITER_H

#include <QByteArray>
#include <QStringList>

class QIODevice;

// CSV as spreadsheet programs set up for Russian open it without asking:
// UTF-8 with a byte order mark, ";" between fields, CRLF after each row.
// A field holding ";", a quote or a line break is quoted, its quotes doubled.
class CsvWriter
{
public:
    explicit CsvWriter(QIODevice *device);

    // The first row is preceded by the byte order mark.
    bool writeRow(const QStringList &fields);

    static QByteArray bom();
    static QByteArray row(const QStringList &fields);
    static QString field(const QString &text);

private:
    QIODevice *device;
    bool started = false;
};

#endif // CSVWRITER_H
