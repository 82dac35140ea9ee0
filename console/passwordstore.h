#ifndef PASSWORDSTORE_H
#define PASSWORDSTORE_H

#include <QObject>
#include <QString>

// The system key store, through QtKeychain, for secrets that must never
// reach the settings file. Where there is none (no desktop session, no
// wallet) it says so; the caller then keeps the secret for the session only.
class PasswordStore : public QObject
{
    Q_OBJECT

public:
    explicit PasswordStore(QObject *parent = nullptr);

    // Asynchronous: loaded() follows, with an empty password when none is filed.
    void read(const QString &key);
    void write(const QString &key, const QString &password);

    // Empty while the store works; else why it does not, for the user.
    QString problem() const { return trouble; }

signals:
    void loaded(const QString &key, const QString &password);
    void problemChanged(const QString &problem);

private:
    void setProblem(const QString &text);
    QString trouble;
};

#endif // PASSWORDSTORE_H
