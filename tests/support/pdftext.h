#ifndef PDFTEXT_H
#define PDFTEXT_H

#include <QProcess>
#include <QRegularExpression>
#include <QString>

// A PDF read back as a person's tools read it (poppler-utils).

// The text, pages separated by form feeds; empty when it cannot be read.
inline QString pdfText(const QString &path)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path,
                                             QStringLiteral("-")});
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        return QString();
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// One field of pdfinfo ("Pages", "Page size"); empty when absent.
inline QString pdfInfo(const QString &path, const QString &field)
{
    QProcess tool;
    tool.start(QStringLiteral("pdfinfo"), {path});
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        return QString();
    const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(field)
                                      + QStringLiteral(":\\s+(.*)$"),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(tool.readAllStandardOutput())).captured(1).trimmed();
}

#endif // PDFTEXT_H
