#include "journalwarning.h"

#include "journal.h"

#include <QLabel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QtDebug>

JournalWarning::JournalWarning(Journal *journal, QStatusBar *statusBar, QSystemTrayIcon *tray)
    : QObject(statusBar), label(new QLabel(statusBar)), tray(tray)
{
    label->setObjectName(QStringLiteral("labelJournalWriting"));
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // never widens the window
    label->hide();
    // Permanent: a tool bar's tip would wipe a temporary status message.
    statusBar->addPermanentWidget(label, 1);
    connect(journal, &Journal::writingStopped, this, &JournalWarning::stopped);
    connect(journal, &Journal::writingResumed, this, &JournalWarning::resumed);
}

QString JournalWarning::text(const QString &reason)
{
    return tr("Журнал не записывается: %1").arg(reason);
}

// Again when the reason changes; the tray speaks once per stop.
void JournalWarning::stopped(const QString &reason)
{
    const QString message = text(reason);
    label->setText(message);
    label->setToolTip(message);
    label->show();
    qWarning().noquote() << message;
    if (told)
        return;
    told = true;
    if (tray && tray->isVisible())
        tray->showMessage(tr("Внимание"), message, QSystemTrayIcon::Warning);
}

void JournalWarning::resumed()
{
    told = false;
    label->hide();
    label->clear();
    qInfo().noquote() << tr("Журнал снова записывается, задержанные строки записаны.");
}
