#ifndef DISPATCHWINDOW_H
#define DISPATCHWINDOW_H

#include "dispatchsettings.h"

#include <QMainWindow>

class AlarmSound;
class DispatchJournal;
class DispatchJournalModel;
class Dispatcher;
class PasswordStore;
class QLabel;
class QSettings;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class SitesOrder;

namespace Ui {
class DispatchWindow;
}

// "Диспетчерская": the sites worst first with the chosen controller's lamps
// and events, the current events of every site with their acknowledgement,
// the journal, and the broker's state in the status bar. It binds widgets to
// the Dispatcher and sounds the alarm; it sends nothing to any site.
class DispatchWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The store keeps the broker settings (the password goes to the key store).
    DispatchWindow(Dispatcher *dispatcher, DispatchJournal *journal, AlarmSound *sound, QSettings *store,
                   QWidget *parent = nullptr);
    ~DispatchWindow() override;

    // Reads the password from the key store, then connects.
    void connectBroker(const DispatchSettings &settings);
    // Puts the window where it was left, on the tab it was left on, and
    // remembers it again at closing.
    void restorePlace();

private:
    void setUpSites();
    void setUpEvents();
    void setUpJournal();
    void showChosenController();
    void followWorst();
    void acknowledgeSelected();
    void editConnection();
    void loadHistory();
    void askOperator();
    void showOperator();
    void saveCsv();
    void reloadJournal();
    void updateSiteCount();
    QList<int> selectedEventRows() const;

    Ui::DispatchWindow *ui;
    Dispatcher *dispatcher;
    DispatchJournal *journal;
    AlarmSound *sound;
    QSettings *store;
    PasswordStore *passwords;
    SitesOrder *sitesOrder;
    QSortFilterProxyModel *controllerEvents;
    DispatchJournalModel *journalModel;
    QTimer *journalReload;
    QLabel *brokerLabel;
    QLabel *sitesLabel;
    QLabel *operatorLabel;
    DispatchSettings pending;
    QString chosenSite;
    QString chosenKey;
    bool userChose = false; // until then "Пульт" follows the worst controller
    bool following = false;
};

#endif // DISPATCHWINDOW_H
