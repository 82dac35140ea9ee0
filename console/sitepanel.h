#ifndef SITEPANEL_H
#define SITEPANEL_H

#include "controllerstatus.h"

#include <QGroupBox>
#include <QVector>

class QListWidget;
class QListWidgetItem;

// "Контроллеры": one line per controller of the site with a state lamp, its
// name, its state and its number of current events. The selected controller
// is the one whose lamps "Пульт" shows.
class SitePanel : public QGroupBox
{
    Q_OBJECT

public:
    struct Entry
    {
        int id;
        QString name;
    };

    explicit SitePanel(QWidget *parent = nullptr);

    void setControllers(const QVector<Entry> &entries);
    void setStatus(int id, const ControllerStatus &status);
    int selectedId() const; // -1 with no controllers
    void select(int id);
    QString lineText(int id) const; // as shown, for tests and tool tips
    // One of ids chosen in a box, the selected one offered first; -1 when cancelled.
    int askController(const QString &title, const QVector<int> &ids);

    static QString lampPicture(ControllerStatus::State state);

signals:
    void selectionChanged(int id);

private:
    QListWidgetItem *itemOf(int id) const;
    void fitWidth();
    static QString lineText(const QString &name, ControllerStatus::State state, int events);

    QListWidget *list;
    QVector<Entry> entries;
};

#endif // SITEPANEL_H
