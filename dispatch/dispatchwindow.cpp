#include "dispatchwindow.h"
#include "ui_dispatchwindow.h"

#include "alarmsound.h"
#include "connectiondialog.h"
#include "dispatcher.h"
#include "dispatchjournal.h"
#include "dispatchjournalmodel.h"
#include "eventsdecoration.h"
#include "helpwindow.h"
#include "historydialog.h"
#include "passwordstore.h"
#include "shortcuttips.h"
#include "windowstate.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QTimer>

namespace {

constexpr int JournalReloadMs = 1000;

void prepareTable(QTableView *view)
{
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
}

} // namespace

DispatchWindow::DispatchWindow(Dispatcher *dispatcher, DispatchJournal *journal, AlarmSound *sound,
                               QSettings *store, QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::DispatchWindow),
      dispatcher(dispatcher),
      journal(journal),
      sound(sound),
      store(store),
      passwords(new PasswordStore(this)),
      sitesOrder(new SitesOrder(this)),
      controllerEvents(new QSortFilterProxyModel(this)),
      journalModel(new DispatchJournalModel(journal->connectionName(), this)),
      journalReload(new QTimer(this)),
      brokerLabel(new QLabel(this)),
      sitesLabel(new QLabel(this)),
      operatorLabel(new QLabel(this))
{
    ui->setupUi(this);
    statusBar()->addWidget(brokerLabel, 1);
    statusBar()->addPermanentWidget(operatorLabel);
    statusBar()->addPermanentWidget(sitesLabel);
    brokerLabel->setText(dispatcher->statusText());
    connect(dispatcher, &Dispatcher::statusChanged, brokerLabel, &QLabel::setText);
    connect(ui->actionQuit, &QAction::triggered, this, &QWidget::close);
    connect(ui->actionConnection, &QAction::triggered, this, &DispatchWindow::editConnection);
    connect(ui->actionHistory, &QAction::triggered, this, &DispatchWindow::loadHistory);
    connect(ui->actionOperator, &QAction::triggered, this, &DispatchWindow::askOperator);
    connect(passwords, &PasswordStore::loaded, this, [this](const QString &, const QString &password) {
        pending.broker.password = password;
        this->dispatcher->start(pending);
    });
    setUpSites();
    setUpEvents();
    setUpJournal();
    HelpWindow::addTo(this, ui->toolBar);
    ShortcutTips::install(ui->toolBar);
    if (!journal->problem().isEmpty())
        statusBar()->showMessage(journal->problem());
    connect(journal, &DispatchJournal::failed, this, [this](const QString &text) { statusBar()->showMessage(text); });
}

DispatchWindow::~DispatchWindow()
{
    delete ui;
}

void DispatchWindow::connectBroker(const DispatchSettings &settings)
{
    pending = settings;
    dispatcher->setOperatorName(settings.operatorName);
    showOperator();
    if (settings.broker.user.isEmpty() || !settings.broker.password.isEmpty())
        dispatcher->start(settings);
    else
        passwords->read(settings.broker.passwordKey());
}

void DispatchWindow::restorePlace()
{
    (new WindowState(this, QStringLiteral("dispatch"), ui->tabs))->restore();
}

void DispatchWindow::setUpSites()
{
    sitesOrder->setSourceModel(dispatcher->sites());
    ui->sitesView->setModel(sitesOrder);
    prepareTable(ui->sitesView);
    // Fixed widths: measuring a thousand rows at every change would cost more than the change.
    const int widths[SitesModel::ColumnCount] = { 140, 180, 150, 110, 70, 180, 200 };
    for (int c = 0; c < SitesModel::ColumnCount; ++c)
        ui->sitesView->setColumnWidth(c, widths[c]);
    ui->sitesSplitter->setStretchFactor(0, 3);
    ui->sitesSplitter->setStretchFactor(1, 1);
    connect(ui->sitesView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &current) {
        userChose = userChose || !following;
        chosenSite = current.data(SitesModel::SiteRole).toString();
        chosenKey = current.data(SitesModel::KeyRole).toString();
        showChosenController();
    });
    // The chosen row changed: a site's own row may have become its first controller's.
    connect(dispatcher->sites(), &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        const int row = sitesOrder->mapToSource(ui->sitesView->currentIndex()).row();
        if (row < from.row() || row > to.row())
            return;
        const QModelIndex chosen = dispatcher->sites()->index(row, 0);
        if (chosen.data(SitesModel::KeyRole).toString() != chosenKey) {
            chosenKey = chosen.data(SitesModel::KeyRole).toString();
            return showChosenController();
        }
        ui->lampPanel->setState(dispatcher->sites()->state(chosenSite, chosenKey));
    });
    connect(dispatcher->sites(), &QAbstractItemModel::rowsInserted, this, &DispatchWindow::updateSiteCount);
    connect(sitesOrder, &QAbstractItemModel::layoutChanged, this, &DispatchWindow::followWorst);
    connect(sitesOrder, &QAbstractItemModel::rowsInserted, this, &DispatchWindow::followWorst);
    updateSiteCount();
}

// Until the guard picks a controller, the top of the list is shown.
void DispatchWindow::followWorst()
{
    const QModelIndex top = sitesOrder->index(0, 0);
    if (userChose || !top.isValid() || ui->sitesView->currentIndex().row() == 0)
        return;
    following = true;
    ui->sitesView->setCurrentIndex(top);
    following = false;
}

void DispatchWindow::showChosenController()
{
    ui->lampPanel->setState(dispatcher->sites()->state(chosenSite, chosenKey));
    const QString owner = QRegularExpression::escape(CurrentEvents::owner(chosenSite, chosenKey));
    controllerEvents->setFilterRegularExpression(QRegularExpression(QLatin1Char('^') + owner + QLatin1Char('$')));
}

void DispatchWindow::updateSiteCount()
{
    sitesLabel->setText(tr("Площадок: %1").arg(dispatcher->sites()->siteCount()));
}

void DispatchWindow::setUpEvents()
{
    auto *decorated = new EventsDecoration(this);
    decorated->setSourceModel(dispatcher->events());
    ui->eventsView->setModel(decorated);
    controllerEvents->setSourceModel(decorated);
    controllerEvents->setFilterRole(CurrentEvents::OwnerRole);
    controllerEvents->setFilterRegularExpression(QRegularExpression(QStringLiteral("^$")));
    ui->controllerEventsView->setModel(controllerEvents);
    for (QTableView *view : { ui->eventsView, ui->controllerEventsView }) {
        prepareTable(view);
        view->addAction(ui->actionAcknowledge);
        connect(view, &QAbstractItemView::doubleClicked, this, &DispatchWindow::acknowledgeSelected);
    }
    const int widths[CurrentEvents::ColumnCount] = { 180, 200, 300, 110, 110 };
    for (QTableView *view : { ui->eventsView, ui->controllerEventsView }) {
        for (int c = 0; c < CurrentEvents::ColumnCount; ++c)
            view->setColumnWidth(c, widths[c]);
    }
    ui->controllerEventsView->setColumnWidth(CurrentEvents::NameColumn, 180);
    ui->controllerEventsView->hideColumn(CurrentEvents::SiteColumn);
    ui->controllerEventsView->hideColumn(CurrentEvents::ControllerColumn);
    ui->eventsView->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->controllerEventsView->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->actionAcknowledge->setShortcut(Qt::Key_Space);
    ui->actionAcknowledge->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(ui->actionAcknowledge, &QAction::triggered, this, &DispatchWindow::acknowledgeSelected);
    connect(ui->actionAcknowledgeAll, &QAction::triggered, dispatcher, &Dispatcher::acknowledgeAll);
    // The alarm sounds at each new waiting row and stops once none waits.
    connect(dispatcher->events(), &CurrentEvents::arrived, sound, &AlarmSound::play);
    connect(dispatcher->events(), &CurrentEvents::waitingChanged, this, [this](int waiting) {
        if (waiting == 0)
            sound->stop();
    });
    connect(ui->actionSilence, &QAction::triggered, sound, &AlarmSound::stop);
    connect(sound, &AlarmSound::problemChanged, this, [this](const QString &problem) {
        if (!problem.isEmpty())
            statusBar()->showMessage(problem);
    });
}

QList<int> DispatchWindow::selectedEventRows() const
{
    QList<int> rows;
    if (ui->tabs->currentWidget() == ui->tabEvents) {
        for (const QModelIndex &i : ui->eventsView->selectionModel()->selectedRows())
            rows << i.row();
    } else {
        for (const QModelIndex &i : ui->controllerEventsView->selectionModel()->selectedRows())
            rows << controllerEvents->mapToSource(i).row();
    }
    return rows;
}

void DispatchWindow::acknowledgeSelected()
{
    dispatcher->acknowledge(selectedEventRows());
}

void DispatchWindow::setUpJournal()
{
    ui->journalView->setModel(journalModel);
    prepareTable(ui->journalView);
    const QDate today = QDate::currentDate();
    ui->dateFrom->setDate(today.addDays(-7));
    ui->dateTo->setDate(today);
    journalReload->setSingleShot(true);
    journalReload->setInterval(JournalReloadMs);
    connect(journalReload, &QTimer::timeout, this, &DispatchWindow::reloadJournal);
    // Read again only while it is shown: an idle dispatcher costs nothing.
    connect(dispatcher, &Dispatcher::journalWritten, this, [this] {
        if (ui->tabs->currentWidget() == ui->tabJournal && !journalReload->isActive())
            journalReload->start();
    });
    connect(ui->tabs, &QTabWidget::currentChanged, this, [this] {
        if (ui->tabs->currentWidget() == ui->tabJournal)
            reloadJournal();
    });
    connect(ui->dateFrom, &QDateEdit::dateChanged, this, &DispatchWindow::reloadJournal);
    connect(ui->dateTo, &QDateEdit::dateChanged, this, &DispatchWindow::reloadJournal);
    connect(ui->editFilter, &QLineEdit::textChanged, this, &DispatchWindow::reloadJournal);
    connect(ui->buttonCsv, &QPushButton::clicked, this, &DispatchWindow::saveCsv);
}

void DispatchWindow::reloadJournal()
{
    journal->flush();
    journalModel->setFilter(ui->dateFrom->date(), ui->dateTo->date(), ui->editFilter->text());
    ui->journalView->scrollToBottom();
}

void DispatchWindow::saveCsv()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Сохранить журнал"), QStringLiteral("dispatch.csv"),
                                                      tr("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    QProgressDialog progress(tr("Сохранение журнала…"), tr("Отмена"), 0, 100, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const bool written = file.open(QIODevice::WriteOnly)
        && journalModel->writeCsv(&file, [&](qint64 done, qint64 total) {
               progress.setValue(total > 0 ? int(done * 100 / total) : 0);
               return !progress.wasCanceled();
           })
        && file.commit();
    if (!written && !progress.wasCanceled())
        QMessageBox::warning(this, windowTitle(), tr("Не удалось сохранить «%1»: %2").arg(path, file.errorString()));
}

void DispatchWindow::editConnection()
{
    ConnectionDialog dialog(this);
    DispatchSettings s = dispatcher->settings();
    if (s.clientId.isEmpty())
        s = DispatchSettings::load(*store);
    dialog.setSettings(s.broker);
    dialog.setPasswordNote(passwords->problem().isEmpty() ? tr("Пароль хранится в системном хранилище ключей.")
                                                          : passwords->problem());
    if (dialog.exec() != QDialog::Accepted)
        return;
    s.broker = dialog.settings();
    s.broker.enabled = true;
    s.save(*store);
    if (!s.broker.user.isEmpty())
        passwords->write(s.broker.passwordKey(), s.broker.password);
    dispatcher->start(s);
}

void DispatchWindow::loadHistory()
{
    HistoryDialog dialog(dispatcher->sites()->siteNames(), chosenSite, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (dispatcher->requestHistory(dialog.site(), dialog.since(), dialog.until()))
        statusBar()->showMessage(tr("История площадки «%1» запрошена").arg(dialog.site()), 10000);
    else
        statusBar()->showMessage(tr("Площадке «%1» нечего запрашивать или нет связи с брокером").arg(dialog.site()), 10000);
}

void DispatchWindow::askOperator()
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, tr("Диспетчер"), tr("Имя диспетчера:"), QLineEdit::Normal,
                                               dispatcher->settings().operatorName, &ok)
                             .trimmed();
    if (!ok || name.isEmpty())
        return;
    dispatcher->setOperatorName(name);
    pending.operatorName = name;
    store->setValue(QStringLiteral("operator"), name);
    showOperator();
}

void DispatchWindow::showOperator()
{
    operatorLabel->setText(tr("Диспетчер: %1").arg(dispatcher->settings().operatorName));
}
