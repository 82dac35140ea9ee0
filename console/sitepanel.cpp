#include "sitepanel.h"

#include <QInputDialog>
#include <QListWidget>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int IdRole = Qt::UserRole + 1;

} // namespace

SitePanel::SitePanel(QWidget *parent)
    : QGroupBox(tr("Контроллеры"), parent), list(new QListWidget(this))
{
    setObjectName(QStringLiteral("sitePanel"));
    list->setObjectName(QStringLiteral("listControllers"));
    list->setIconSize(QSize(20, 20));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list);
    connect(list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
        if (item)
            emit selectionChanged(item->data(IdRole).toInt());
    });
}

void SitePanel::setControllers(const QVector<Entry> &newEntries)
{
    entries = newEntries;
    const QSignalBlocker blocker(list);
    list->clear();
    for (const Entry &entry : entries) {
        auto *item = new QListWidgetItem(list);
        item->setData(IdRole, entry.id);
        setStatus(entry.id, ControllerStatus());
    }
    if (list->count() > 0)
        list->setCurrentRow(0);
    fitWidth();
}

// Wide enough for any state of the longest name, so lines are never cut
// and the panel does not jump as states change.
void SitePanel::fitWidth()
{
    QString widest;
    for (const Entry &entry : qAsConst(entries)) {
        for (int state = ControllerStatus::NotPolled; state <= ControllerStatus::Quiet; ++state) {
            const QString text = lineText(entry.name, ControllerStatus::State(state), 999);
            if (list->fontMetrics().horizontalAdvance(text) > list->fontMetrics().horizontalAdvance(widest))
                widest = text;
        }
    }
    const int frame = 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width();
    list->setMinimumWidth(list->fontMetrics().horizontalAdvance(widest) + list->iconSize().width()
                          + 3 * list->spacing() + 16 + frame);
}

QString SitePanel::lineText(const QString &name, ControllerStatus::State state, int events)
{
    return tr("%1 — %2, событий: %3").arg(name, ControllerStatus::text(state)).arg(events);
}

void SitePanel::setStatus(int id, const ControllerStatus &status)
{
    QListWidgetItem *item = itemOf(id);
    if (!item)
        return;
    QString name;
    for (const Entry &entry : qAsConst(entries)) {
        if (entry.id == id)
            name = entry.name;
    }
    const ControllerStatus::State state = status.state();
    item->setText(lineText(name, state, status.currentEventCount()));
    item->setIcon(QIcon(lampPicture(state)));
    item->setToolTip(item->text());
}

int SitePanel::selectedId() const
{
    const QListWidgetItem *item = list->currentItem();
    return item ? item->data(IdRole).toInt() : -1;
}

void SitePanel::select(int id)
{
    if (QListWidgetItem *item = itemOf(id))
        list->setCurrentItem(item);
}

QString SitePanel::lineText(int id) const
{
    const QListWidgetItem *item = itemOf(id);
    return item ? item->text() : QString();
}

QString SitePanel::lampPicture(ControllerStatus::State state)
{
    switch (state) {
    case ControllerStatus::Quiet:
        return QStringLiteral(":/images/LedGreen.png");
    case ControllerStatus::Fault:
    case ControllerStatus::NoAnswer:
        return QStringLiteral(":/images/LedYellow.png");
    case ControllerStatus::Events:
    case ControllerStatus::NoLink:
        return QStringLiteral(":/images/LedRed.png");
    case ControllerStatus::NotPolled:
        break;
    }
    return QStringLiteral(":/images/LedGrey.png");
}

QListWidgetItem *SitePanel::itemOf(int id) const
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->data(IdRole).toInt() == id)
            return list->item(row);
    }
    return nullptr;
}

int SitePanel::askController(const QString &title, const QVector<int> &ids)
{
    QStringList names;
    for (int id : ids) {
        for (const Entry &entry : entries) {
            if (entry.id == id)
                names << entry.name;
        }
    }
    const int selected = qMax(0, ids.indexOf(selectedId()));
    bool ok = false;
    const QString chosen = QInputDialog::getItem(window(), title, tr("Контроллер:"), names, selected, false, &ok);
    return ok ? ids.value(names.indexOf(chosen), -1) : -1;
}
