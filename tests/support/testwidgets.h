#ifndef TESTWIDGETS_H
#define TESTWIDGETS_H

#include <QAbstractButton>
#include <QAbstractItemDelegate>
#include <QComboBox>
#include <QTableWidget>
#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QMessageBox>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <initializer_list>

// The named child of a window; a missing one ends the test program at once,
// since every later step would only fail for the same reason.
template <typename T = QWidget>
T *child(const QObject &parent, const QString &name = QString())
{
    T *found = parent.findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

// Picks (or types, in an editable one) a text in a table cell's drop-down as
// a user does: the cell's delegate opens its editor, the choice is committed
// and the editor closed. False when the cell cannot be edited so.
inline bool chooseInCell(QTableWidget *table, int row, int column, const QString &text)
{
    QTableWidgetItem *item = table->item(row, column);
    if (!item || !(item->flags() & Qt::ItemIsEditable) || !(item->flags() & Qt::ItemIsEnabled))
        return false;
    table->setCurrentItem(item);
    table->editItem(item);
    auto *box = qobject_cast<QComboBox *>(table->indexWidget(table->model()->index(row, column)));
    if (!box)
        return false;
    if (box->isEditable()) {
        box->setEditText(text);
    } else {
        if (box->findText(text) < 0)
            return false;
        box->setCurrentIndex(box->findText(text));
    }
    QAbstractItemDelegate *delegate = table->itemDelegateForColumn(column);
    emit delegate->commitData(box);
    emit delegate->closeEditor(box);
    return true;
}

// "1" or "0" for each named action, in order: which commands a window offers.
inline QString enabledActions(const QObject &window, std::initializer_list<const char *> names)
{
    QString states;
    for (const char *name : names)
        states += child<QAction>(window, name)->isEnabled() ? '1' : '0';
    return states;
}

// "Внимание|icon|buttons|text": what a user sees of one of the programs' boxes.
inline QString boxSeen(QMessageBox::Icon icon, const QString &text,
                       QMessageBox::StandardButtons buttons = QMessageBox::Ok)
{
    return QStringLiteral("Внимание|%1|%2|%3").arg(int(icon)).arg(int(buttons)).arg(text);
}

// Answers every modal box as it comes (with `answer`, or its first button), so
// none can hang a test, and keeps what each showed as boxSeen() words it.
struct BoxAnswerer : QTimer
{
    QStringList seen;
    QMessageBox::StandardButton answer = QMessageBox::Ok;

    BoxAnswerer()
    {
        connect(this, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen << box->windowTitle() + '|' + QString::number(box->icon()) + '|'
                        + QString::number(box->standardButtons()) + '|' + box->text();
            (box->button(answer) ? box->button(answer) : box->buttons().value(0))->click();
        });
        start(10);
    }
};

// The link choice a program finds in its store (the test's own, see
// QSettings::setPath) and the ports its settings dialog lists.
inline void setStoredPort(const QString &path, const QStringList &listedPorts)
{
    qputenv("TARVIK_PORTS", listedPorts.join(QLatin1Char(':')).toLocal8Bit());
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    store.setValue("portName", path);
    store.setValue("baudRate", "9600");
    store.setValue("address", "1");
    store.remove("link"); // a store from before TCP links: serial
    store.sync();
}

// The stored choice: a Modbus TCP gateway at this port, unit 1.
inline void setStoredGateway(int port, const QString &host = QStringLiteral("127.0.0.1"))
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    store.setValue("link", "tcp");
    store.setValue("tcpHost", host);
    store.setValue("tcpPort", QString::number(port));
    store.setValue("address", "1");
    store.sync();
}

#endif // TESTWIDGETS_H
