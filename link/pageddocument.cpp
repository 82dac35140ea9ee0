#include "pageddocument.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

namespace {
const int PdfResolution = 300;
const qreal MarginMm = 15;
}

QString PagedDocument::pageFooter(int page, int pages)
{
    return tr("Страница %1 из %2").arg(page).arg(pages);
}

// The text flows over pages of the device's printable area less a footer;
// each page is painted through a clip of its slice of the document.
int PagedDocument::print(QPagedPaintDevice *device) const
{
    QPainter painter;
    if (!painter.begin(device))
        return 0;
    QTextDocument document;
    document.documentLayout()->setPaintDevice(device);
    document.setDefaultFont(QFont(QStringLiteral("Arial"), pointSize));
    document.setHtml(html);
    const QRectF area(0, 0, device->width(), device->height());
    const qreal footerHeight = QFontMetricsF(document.defaultFont(), device).height() * 2;
    const qreal bodyHeight = area.height() - footerHeight;
    document.setPageSize(QSizeF(area.width(), bodyHeight));
    const int pages = document.pageCount();
    painter.setFont(QFont(document.defaultFont(), device));
    for (int page = 0; page < pages; ++page) {
        if (progress)
            progress(page + 1, pages);
        if (page > 0)
            device->newPage();
        painter.save();
        painter.translate(0, -page * bodyHeight);
        document.drawContents(&painter, QRectF(0, page * bodyHeight, area.width(), bodyHeight));
        painter.restore();
        painter.drawText(QRectF(0, bodyHeight, area.width(), footerHeight), Qt::AlignRight | Qt::AlignBottom,
                         pageFooter(page + 1, pages));
    }
    painter.end();
    return pages;
}

int PagedDocument::writePdf(const QString &path, const QString &title, const QString &creator,
                            QString *error) const
{
    int pages = 0;
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
        writer.setResolution(PdfResolution);
        writer.setTitle(title);
        writer.setCreator(creator);
        pages = print(&writer);
    }
    if (pages == 0 || QFileInfo(path).size() == 0) {
        *error = tr("Не удалось записать файл «%1».").arg(path);
        return 0;
    }
    return pages;
}
