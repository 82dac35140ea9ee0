#ifndef SHIFTREPORTDOCUMENT_H
#define SHIFTREPORTDOCUMENT_H

#include "shiftreport.h"

#include <QCoreApplication>
#include <QString>

class QPagedPaintDevice;

// Lays a shift report out in Russian on numbered pages: a PDF on A4, or any
// printer's pages. Qt Gui only, no widgets.
class ShiftReportDocument
{
    Q_DECLARE_TR_FUNCTIONS(ShiftReportDocument)

public:
    explicit ShiftReportDocument(const ShiftReport &report);

    QString html() const;
    // Paints every page on a device not yet painted on; returns the number of
    // pages, 0 when the device cannot be painted on.
    int print(QPagedPaintDevice *device) const;
    // Returns the number of pages written, 0 with *error set on failure.
    int writePdf(const QString &path, QString *error) const;

    static QString pageFooter(int page, int pages);

private:
    QString headHtml() const;
    QString countsHtml() const;
    QString eventsHtml() const;
    QString failuresHtml() const;
    QString lampsHtml() const;

    ShiftReport report;
};

#endif // SHIFTREPORTDOCUMENT_H
