#ifndef QUEUEDDIALOGS_H
#define QUEUEDDIALOGS_H

#include "mainwindow.h"

#include <QStringList>

// The editor's window with its file dialogs answered from queues, for editor
// tests only; an empty queue is a cancelled dialog.
class QueuedDialogsWindow : public MainWindow
{
public:
    QStringList openAnswers;
    QStringList saveAnswers;
    QStringList compareAnswers;
    int saveDialogs = 0;

protected:
    QString askOpenFileName() override { return next(openAnswers); }
    QString askSaveFileName() override { ++saveDialogs; return next(saveAnswers); }
    QString askCompareFileName() override { return next(compareAnswers); }

private:
    static QString next(QStringList &answers) { return answers.isEmpty() ? QString() : answers.takeFirst(); }
};

#endif // QUEUEDDIALOGS_H
