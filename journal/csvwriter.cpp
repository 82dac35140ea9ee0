#include "csvwriter.h"

#include <QIODevice>

CsvWriter::CsvWriter(QIODevice *device) : device(device) {}

bool CsvWriter::writeRow(const QStringList &fields)
{
    QByteArray bytes = row(fields);
    if (!started) {
        bytes.prepend(bom());
        started = true;
    }
    return device->write(bytes) == bytes.size();
}

QByteArray CsvWriter::bom()
{
    return QByteArrayLiteral("\xEF\xBB\xBF");
}

QByteArray CsvWriter::row(const QStringList &fields)
{
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString &text : fields)
        quoted << field(text);
    return quoted.join(QLatin1Char(';')).toUtf8() + QByteArrayLiteral("\r\n");
}

QString CsvWriter::field(const QString &text)
{
    const bool needsQuotes = text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!needsQuotes)
        return text;
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}
