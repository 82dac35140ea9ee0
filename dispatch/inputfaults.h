#ifndef INPUTFAULTS_H
#define INPUTFAULTS_H

#include <QLoggingCategory>
#include <QString>

#include <array>

Q_DECLARE_LOGGING_CATEGORY(tarvikDispatch)

// What came from the broker and was not taken: counted by kind, and each
// kind logged once, so a flood of bad messages neither floods the log nor
// goes unnoticed.
class InputFaults
{
public:
    enum Kind {
        Oversize,
        InvalidUtf8,
        InvalidJson,
        WrongType,
        UnknownShape,
        TooManySites,
        TooManyControllers,
        IdBackwards,
        KindCount
    };

    // Counts it, and logs the first of its kind with the topic it came on.
    void note(Kind kind, const QString &topic);
    qint64 count(Kind kind) const { return counts[kind]; }
    qint64 total() const;

    static QString describe(Kind kind);

private:
    std::array<qint64, KindCount> counts{};
};

#endif // INPUTFAULTS_H
