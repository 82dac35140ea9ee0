// The window's site view: two or more polled controllers watched at once.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "acknowledgementpanel.h"
#include "alarmsound.h"
#include "controllerlist.h"
#include "eventtables.h"
#include "mqttbinder.h"
#include "sitepanel.h"
#include "sitesession.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QStatusBar>

namespace {

// As a single controller's start names its line ("Порт X, адрес 1"): each
// line with the addresses polled on it.
QString linesText(const ControllerList &list)
{
    QStringList lines;
    for (const QVector<int> &line : list.polledLines()) {
        QStringList addresses;
        for (int id : line)
            addresses << QString::number(list.at(id).address);
        lines << (addresses.size() == 1 ? MainWindow::tr("Порт %1, адрес %2")
                                        : MainWindow::tr("Порт %1, адреса %2"))
                     .arg(list.at(line.first()).linkName(), addresses.join(QStringLiteral(", ")));
    }
    return lines.join(QStringLiteral("; "));
}

} // namespace

// The panel stands beside "Пульт" and is hidden with one controller, which
// leaves the window as it always was.
void MainWindow::createSiteWidgets()
{
    sitePanel = new SitePanel(ui->centralWidget);
    sitePanel->setMaximumHeight(ui->groupBox->maximumHeight());
    sitePanel->hide();
    const int index = ui->verticalLayout->indexOf(ui->groupBox);
    ui->verticalLayout->removeWidget(ui->groupBox);
    auto *row = new QHBoxLayout;
    row->setSpacing(ui->verticalLayout->spacing());
    row->addWidget(ui->groupBox, 1);
    row->addWidget(sitePanel);
    ui->verticalLayout->insertLayout(index, row);
    connect(sitePanel, &SitePanel::selectionChanged, this, &MainWindow::showSelectedLamps);

    noAnswerLabel = new QLabel(this);
    noAnswerLabel->setObjectName(QStringLiteral("labelNoAnswer"));
    noAnswerLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    noAnswerLabel->hide();
    statusBar()->addWidget(noAnswerLabel);
}

// The same list as the session has keeps the workers, and so their readers.
void MainWindow::startSite(const ControllerList &list)
{
    if (!site || site->controllers().entries() != list.entries()) {
        endSite();
        site = new SiteSession(list, this);
        connectSite();
        QVector<SitePanel::Entry> entries;
        for (int id = 0; id < list.size(); ++id)
            entries.append({ id, list.at(id).name });
        sitePanel->setControllers(entries);
        for (int id = 0; id < list.size(); ++id)
            sitePanel->setStatus(id, site->status(id));
    }
    tables->setSiteView(true);
    sitePanel->show();
    sitePolling = true;
    site->start();
    mqttBinder->siteStarted(site);
    setPollingActions(true);
    pollPort.clear();
    pollSlave = 0;
    journalNote(JournalRecord::PollingStarted, QString(), linesText(list));
}

void MainWindow::endSite()
{
    sitePolling = false;
    if (site) {
        site->stop();
        delete site;
        site = nullptr;
    }
    sitePanel->hide();
    tables->setSiteView(false);
}

void MainWindow::connectSite()
{
    connect(site, &SiteSession::eventRead, this, &MainWindow::siteEvent);
    connect(site, &SiteSession::listCleared, this, &MainWindow::siteCleared);
    connect(site, &SiteSession::statusChanged, this,
            [this](int id) { sitePanel->setStatus(id, site->status(id)); });
    connect(site, &SiteSession::vpkChanged, this, [this](int id) {
        if (id == sitePanel->selectedId())
            showSelectedLamps();
    });
    connect(site, &SiteSession::linkLost, this, &MainWindow::siteLost);
    connect(site, &SiteSession::linkRestored, this, &MainWindow::siteRestored);
    connect(site, &SiteSession::answeringChanged, this, &MainWindow::showNoAnswer);
    connect(site, &SiteSession::portFailed, this, [this](const QString &port, const QString &text) {
        statusBar()->showMessage(tr("Порт %1: %2").arg(port, QString(text).replace(QLatin1Char('\n'), QString())),
                                 SiteWorker::RetryIntervalMs);
    });
    connect(site, &SiteSession::workersFinished, this, &MainWindow::quitWhenWorkersEnded);
}

void MainWindow::siteEvent(int id, bool current, const AlarmType &alarm)
{
    if (quitting)
        return; // an event read while the workers end must not bring the window back
    JournalRecord record;
    const qint64 journalId =
        journalEvent(current ? JournalRecord::CurrentList : JournalRecord::AllList, alarm, id, &record);
    tables->append(current ? EventTables::Current : EventTables::All, alarm, id, site->name(id));
    if (!current)
        return;
    if (!acknowledgements->eventShown(ui->tableAlarmCurrent->rowCount() - 1, journalId, record))
        return; // sent again after its list shrank, and acknowledged already
    alarmSound->play();
    if (!isVisible())
        showNormal();
}

void MainWindow::siteCleared(int id, bool current)
{
    const EventTables::List list = current ? EventTables::Current : EventTables::All;
    if (tables->rowsOf(list, id) == 0)
        return; // the worker reports an empty list in every cycle
    journalNote(JournalRecord::Cleared, current ? JournalRecord::CurrentList : JournalRecord::AllList,
                QString(), id);
    tables->clearController(list, id);
    if (current)
        stopAlarmWhenSettled();
}

// Lost supervision of a gas controller is itself an alarm.
void MainWindow::siteLost(int id)
{
    if (quitting)
        return;
    const QString text = tr("Нет связи с контроллером «%1»").arg(site->name(id));
    journalNote(JournalRecord::LineFailure, QString(), text, id);
    alarmSound->play();
    trayIcon->showMessage(tr("Нет связи"), text, QSystemTrayIcon::Warning);
    if (!isVisible())
        showNormal();
}

void MainWindow::siteRestored(int id)
{
    journalNote(JournalRecord::LinkRestored, QString(),
                tr("Связь с контроллером «%1» восстановлена").arg(site->name(id)), id);
    stopAlarmWhenSettled();
}

// The alarm goes on while any current event waits for a guard or any
// controller is lost.
void MainWindow::stopAlarmWhenSettled()
{
    if (acknowledgements->ledger().allAcknowledged() && site->lostIds().isEmpty())
        alarmSound->stop();
}

void MainWindow::showSelectedLamps()
{
    if (site)
        pendingLamps = LampState::fromVpk(site->vpk(sitePanel->selectedId()));
}

void MainWindow::showNoAnswer()
{
    QStringList names;
    if (sitePolling) {
        for (int id : site->silentIds())
            names << QStringLiteral("«%1»").arg(site->name(id));
    }
    const bool silent = sitePolling ? !names.isEmpty() : !singleAnswering;
    noAnswerLabel->setText(names.isEmpty() ? tr("Нет ответа от контроллера")
                                           : tr("Нет ответа от контроллера %1").arg(names.join(QStringLiteral(", "))));
    noAnswerLabel->setVisible(silent);
}

// The selected controller is offered first.
int MainWindow::askResetController()
{
    const QVector<int> ids = site->polledIds();
    QStringList names;
    for (int id : ids)
        names << site->name(id);
    const int selected = qMax(0, ids.indexOf(sitePanel->selectedId()));
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, tr("Сброс текущих событий"),
                                                 tr("Контроллер:"), names, selected, false, &ok);
    return ok ? ids.value(names.indexOf(chosen), -1) : -1;
}
