#ifndef WRITERECORD_H
#define WRITERECORD_H

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QString>

// One configuration write as the editor started it: who, when, over which
// link, the configuration the controller held before (when known) and the
// one written, both as .vlr file bytes, and how the write ended.
struct WriteRecord
{
    Q_DECLARE_TR_FUNCTIONS(WriteRecord)

public:
    // Where the configuration before the write came from.
    enum Before {
        BeforeUnknown = 0,
        BeforeRead = 1,          // the last read from the same link in this session
        BeforeReadFirst = 2,     // read right before the write ("Читать перед записью")
        BeforeWritten = 3,       // written over the same link earlier in this session
    };
    // How the write ended, as the window reported it.
    enum Outcome {
        Unfinished = 0, // the program stopped before the write ended
        Written = 1,    // "Данные отправлены" or "Готово"
        SimNotReady = 2,
        SimFailed = 3,
        Failed = 4,     // a failure box: nothing or only a part was taken over
    };

    qint64 id = 0;
    QDateTime started;
    QDateTime ended;
    QString engineer;
    QString link;
    Before beforeSource = BeforeUnknown;
    QByteArray before; // empty when unknown
    QByteArray written;
    int changes = -1;  // changed fields, -1 when the configuration before is unknown
    Outcome outcome = Unfinished;
    QString outcomeText; // the window's own words

    // "не завершена" for an unfinished write, else the window's words.
    QString outcomeDisplay() const;
    QString beforeSourceText() const;
    QString changesText() const; // the count, or "—" when unknown
    // The configuration reached the controller (whatever the SIM card did).
    bool reachedController() const;

    // The outcome a status text of a write stands for; Unfinished for a text
    // that is not an ending (the SIM wait's "Данные отправлены! ...").
    static Outcome outcomeOfStatus(const QString &text);
    // The step a write was at when it failed, from the last progress step it
    // reported (-1 for none): "основная часть 3 из 21", "номера телефонов", ...
    static QString stepName(int lastProgress);
    // Fields that differ, as the comparison dialog lists them; -1 when either is not a configuration.
    static int countChanges(const QByteArray &before, const QByteArray &written);
};

#endif // WRITERECORD_H
