#ifndef FINISHINGDIALOG_H
#define FINISHINGDIALOG_H

#include <QDialog>

class QLabel;

// Shown while the window waits for a transfer to end before it closes: a text
// and a busy bar, so the window keeps painting. The user cannot dismiss it;
// the window removes it when the worker is done.
class FinishingDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FinishingDialog(const QString &text, QWidget *parent = nullptr);

    QString text() const;

    // Escape and the title bar's close lead here: the transfer cannot be cut short.
    void reject() override;

private:
    QLabel *label = nullptr;
};

#endif // FINISHINGDIALOG_H
