#ifndef CSVFILESAVER_H
#define CSVFILESAVER_H

#include <QString>

#include <functional>

class QIODevice;
class QWidget;

// Asks where to save a CSV file and saves it whole or not at all: a failed
// or cancelled write leaves any earlier file of that name as it was.
class CsvFileSaver
{
public:
    enum Result { Saved, Cancelled, Failed };

    // Empty when the user cancels the dialog.
    static QString askPath(QWidget *parent, const QString &suggestedName);

    // write fills the device and says how it went; on Failed it gives the
    // reason (empty: the device's own). A failure is shown to the user.
    using Writer = std::function<Result(QIODevice *device, QString *reason)>;
    static Result save(QWidget *parent, const QString &path, const Writer &write);

    static QString failureText(const QString &path, const QString &reason);

private:
    static Result fail(QWidget *parent, const QString &path, const QString &reason);
};

#endif // CSVFILESAVER_H
