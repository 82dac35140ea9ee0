#include "filedrop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

FileDrop::FileDrop(QWidget *target, const QString &suffix)
    : QObject(target), suffix(suffix)
{
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

QString FileDrop::fileIn(const QMimeData *data) const
{
    if (!data)
        return QString();
    const auto urls = data->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile() && url.toLocalFile().endsWith(suffix, Qt::CaseInsensitive))
            return url.toLocalFile();
    }
    return QString();
}

bool FileDrop::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event); // a drag enter is a drop event too
    const QString path = fileIn(drop->mimeData());
    if (path.isEmpty()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        emit dropped(path);
    return true;
}
