#ifndef PROTOCOLDOCUMENT_H
#define PROTOCOLDOCUMENT_H

#include "configdiff.h"
#include "configimage.h"
#include "pageddocument.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QVector>

class QPagedPaintDevice;

// The settings protocol of one configuration, in Russian on numbered pages:
// a head, every group of the window as a table in the window's words, the
// differences from the last write over the same link, and lines to sign.
// Qt Gui only, no widgets.
class ProtocolDocument
{
    Q_DECLARE_TR_FUNCTIONS(ProtocolDocument)

public:
    struct Content {
        QString object;
        QString link;
        QString controllerTime; // empty when it was not read
        QString engineer;
        QDateTime date;
        ConfigImage image;
        bool hasPrevious = false;
        QDateTime previousWrite;
        QVector<ConfigDiff::Entry> differences; // previous write -> this configuration
    };

    // One table of the protocol: a group of the window.
    struct Group {
        QString title;
        QStringList columns; // the first names the rows
        QVector<QStringList> rows;
    };

    explicit ProtocolDocument(const Content &content);

    // The window's groups in its order, from the fields ConfigDiff names.
    static QVector<Group> groups(const ConfigImage &image);

    QString html() const;
    // Paints every page on a device not yet painted on; the number of pages,
    // 0 when the device cannot be painted on.
    int print(QPagedPaintDevice *device, const PagedDocument::Progress &progress = {}) const;
    // The number of pages written, 0 with *error set on failure.
    int writePdf(const QString &path, QString *error, const PagedDocument::Progress &progress = {}) const;

    static QString pageFooter(int page, int pages);
    // The configuration's clock, "dd.MM.yyyy hh:mm:ss", or "не задано".
    static QString clockText(const ConfigImage &image);

private:
    QString headHtml() const;
    QString groupsHtml() const;
    QString differencesHtml() const;
    QString signaturesHtml() const;

    Content content;
};

#endif // PROTOCOLDOCUMENT_H
