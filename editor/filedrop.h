#ifndef FILEDROP_H
#define FILEDROP_H

#include <QObject>

class QMimeData;
class QWidget;

// Takes local files of one kind dropped on a window, as a file manager drops
// them, and names the first; anything else is refused while it is dragged.
class FileDrop : public QObject
{
    Q_OBJECT

public:
    FileDrop(QWidget *target, const QString &suffix);

    // The first local file with the suffix (any case), or empty.
    QString fileIn(const QMimeData *data) const;

signals:
    // Connect queued, so a question the receiver asks does not hold the
    // file manager's drag in the middle.
    void dropped(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString suffix;
};

#endif // FILEDROP_H
