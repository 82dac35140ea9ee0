#ifndef HISTORYDIALOG_H
#define HISTORYDIALOG_H

#include <QDateTime>
#include <QDialog>

class QComboBox;
class QDateTimeEdit;

// "Загрузить историю…": a site and a period; the site finds its rows of
// that period that came before the first one the dispatcher has.
class HistoryDialog : public QDialog
{
    Q_OBJECT

public:
    HistoryDialog(const QStringList &sites, const QString &chosen, QWidget *parent = nullptr);

    QString site() const;
    QDateTime since() const;
    QDateTime until() const;

private:
    QComboBox *siteBox;
    QDateTimeEdit *fromEdit;
    QDateTimeEdit *toEdit;
};

#endif // HISTORYDIALOG_H
