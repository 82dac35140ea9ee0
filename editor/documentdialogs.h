#ifndef DOCUMENTDIALOGS_H
#define DOCUMENTDIALOGS_H

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>

class QWidget;

// The questions the document commands ask: which file, and whether to save.
// An empty name means the dialog was cancelled.
class DocumentDialogs
{
    Q_DECLARE_TR_FUNCTIONS(DocumentDialogs)

public:
    static QString openFileName(QWidget *parent);
    static QString saveFileName(QWidget *parent);
    static QString compareFileName(QWidget *parent);
    // Yes, No or Cancel.
    static QMessageBox::StandardButton saveChanges(QWidget *parent);
};

#endif // DOCUMENTDIALOGS_H
