#include "passwordstore.h"

#include <qt5keychain/keychain.h>

namespace {

const QString service = QStringLiteral("Tarvik");

QString describe(QKeychain::Error error, const QString &detail)
{
    switch (error) {
    case QKeychain::NoBackendAvailable:
        return QObject::tr("Хранилище паролей системы недоступно");
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return QObject::tr("Нет доступа к хранилищу паролей системы");
    default:
        break;
    }
    return QObject::tr("Хранилище паролей системы не работает (%1)").arg(detail);
}

} // namespace

PasswordStore::PasswordStore(QObject *parent)
    : QObject(parent)
{
}

void PasswordStore::read(const QString &key)
{
    auto *job = new QKeychain::ReadPasswordJob(service, this);
    job->setKey(key);
    job->setInsecureFallback(false); // never a plain-text file instead
    connect(job, &QKeychain::Job::finished, this, [this, job, key] {
        if (job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound) {
            setProblem(QString());
            emit loaded(key, job->textData());
            return;
        }
        setProblem(describe(job->error(), job->errorString()));
        emit loaded(key, QString());
    });
    job->start();
}

void PasswordStore::write(const QString &key, const QString &password)
{
    QKeychain::Job *job = nullptr;
    if (password.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(service, this);
    } else {
        auto *writeJob = new QKeychain::WritePasswordJob(service, this);
        writeJob->setTextData(password);
        job = writeJob;
    }
    job->setKey(key);
    job->setInsecureFallback(false);
    connect(job, &QKeychain::Job::finished, this, [this, job] {
        const bool fine = job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound;
        setProblem(fine ? QString() : describe(job->error(), job->errorString()));
    });
    job->start();
}

void PasswordStore::setProblem(const QString &text)
{
    if (text == trouble)
        return;
    trouble = text;
    emit problemChanged(trouble);
}
