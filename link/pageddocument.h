#ifndef PAGEDDOCUMENT_H
#define PAGEDDOCUMENT_H

#include <QCoreApplication>
#include <QString>

#include <functional>

class QPagedPaintDevice;

// An HTML document laid over pages with "Страница N из M" at each foot: the
// shift report and the settings protocol print and save through it.
class PagedDocument
{
    Q_DECLARE_TR_FUNCTIONS(PagedDocument)

public:
    PagedDocument(const QString &html, int pointSize) : html(html), pointSize(pointSize) {}

    static QString pageFooter(int page, int pages);

    // Told before each page is painted, so a long document can show how far it is.
    using Progress = std::function<void(int page, int pages)>;
    void setProgress(Progress progress) { this->progress = std::move(progress); }

    // The number of pages painted; 0 when the device could not be painted on.
    int print(QPagedPaintDevice *device) const;
    // A4 with 15 mm margins; 0 pages and the error text when no file came of it.
    int writePdf(const QString &path, const QString &title, const QString &creator, QString *error) const;

private:
    QString html;
    int pointSize;
    Progress progress;
};

#endif // PAGEDDOCUMENT_H
