#ifndef EVENTCATALOGUE_H
#define EVENTCATALOGUE_H

#include <QString>
#include <QStringList>

// The fixed list of Russian texts that names the controller's events and the
// meanings a discrete input can be given. Every entry is exactly EntryWidth
// characters, padded with spaces; texts are never trimmed when handed out.
//
// The editor uses the Full edition (177 entries), the console the Console
// edition (94 entries). The lists are built once per process and shared by all
// instances, so constructing a catalogue costs nothing. No argument value can
// read outside a list.
class EventCatalogue
{
public:
    enum Edition { Full, Console };

    static constexpr int EntryWidth = 40;
    static constexpr int FullSize = 177;
    static constexpr int ConsoleSize = 94;
    static constexpr int InputNameOffset = 16;  // InputNameCode 0 is this entry
    static constexpr int InputNameCount = FullSize - InputNameOffset;
    static constexpr int FirstDeviceSource = 32;
    static constexpr int EndDeviceSource = 288;  // sources from here on name nothing

    explicit EventCatalogue(Edition edition = Full);

    Edition edition() const;
    int size() const;

    // Entry n, or the empty entry (EntryWidth spaces) when n is out of range.
    QString entryText(int n) const;

    // Entries from InputNameOffset on: the texts a discrete input can be named
    // by, the first being the empty entry (161 texts in the Full edition).
    QStringList inputNameTexts() const;
    // Entry code + InputNameOffset; the empty entry for a code with no entry.
    QString inputNameText(int code) const;
    // Position in inputNameTexts() of the first text equal to text (padding
    // included); 0 when none is equal.
    int inputNameCode(const QString &text) const;

    // The name of an event record, always from the Console list whatever this
    // instance's edition (the controller reports codes of that list; no name in
    // it reaches the last column). Controller events (source 0..31) by entry
    // code + InputNameOffset, device events (32..287) by entry code, device
    // addresses 1..255 (source 33..287) appended as ", Адрес N". Codes with no
    // entry and sources from 288 give a placeholder that carries the numbers.
    // The result is at least EntryWidth characters.
    QString eventText(quint16 source, quint8 code) const;

    static QString emptyEntry();

private:
    static void appendAddress(QString &text, int address);

    Edition m_edition;
    const QStringList *m_entries;
    const QStringList *m_inputNames;
};

#endif // EVENTCATALOGUE_H
