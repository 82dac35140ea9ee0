#ifndef CONTROLLERSDIALOG_H
#define CONTROLLERSDIALOG_H

#include "controllerlist.h"

#include <QDialog>
#include <QStringList>

class QTableWidgetItem;

namespace Ui {
class ControllersDialog;
}

// "Контроллеры": the site's controllers in a table (name, port, speed,
// address, polled), to add, remove and reorder. "OK" is refused, with the
// reason under the table, while the list cannot be polled as it stands.
class ControllersDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ControllersDialog(QWidget *parent = nullptr);
    ~ControllersDialog() override;

    void setControllers(const ControllerList &controllers);
    ControllerList controllers() const; // as the table shows it now

    // The ports offered: those the platform lists, then TARVIK_PORTS.
    static QStringList portChoices();

public slots:
    void accept() override;

private slots:
    void addRow();
    void removeRow();
    void moveUp();
    void moveDown();
    void cellChanged(QTableWidgetItem *item);

private:
    void fill(const QVector<ControllerEntry> &entries, int selectRow);
    static QString portToolTip();
    void setDelegates();
    void setRow(int row, const ControllerEntry &entry);
    void showKind(int row);
    ControllerEntry rowEntry(int row) const;
    void move(int by);

    Ui::ControllersDialog *ui;
    QStringList ports;
};

#endif // CONTROLLERSDIALOG_H
