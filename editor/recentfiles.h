#ifndef RECENTFILES_H
#define RECENTFILES_H

#include <QStringList>

// The configuration files last opened or saved, newest first, kept in the
// user's settings ("Tarvik", "Desktop", key recentFiles).
class RecentFiles
{
public:
    static constexpr int Limit = 8;

    RecentFiles();

    QStringList paths() const { return list; }
    // Moves the file to the front (once, by its absolute path) and stores the list.
    void add(const QString &path);
    void clear();

    static bool exists(const QString &path);

private:
    void store() const;

    QStringList list;
};

#endif // RECENTFILES_H
