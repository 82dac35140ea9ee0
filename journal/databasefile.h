#ifndef DATABASEFILE_H
#define DATABASEFILE_H

#include <QString>

// An SQLite file on disk with its WAL and shared-memory companions.
class DatabaseFile
{
public:
    // Renames the closed file and its WAL to <name>.<label>-<time>[-n].<suffix>
    // beside it, never over an earlier one; the path taken, or empty when the
    // file could not be renamed.
    static QString setAside(const QString &path, const QString &label);
};

#endif // DATABASEFILE_H
