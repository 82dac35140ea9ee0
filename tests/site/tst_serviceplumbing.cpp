// What a service needs from its process: signals as Qt signals, log lines
// for journald on standard error, and one instance per journal.

#include "instancelock.h"
#include "servicelog.h"
#include "testfiles.h"
#include "unixsignals.h"

#include <QLoggingCategory>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(linkLog, "tarvik.link")
}

class ServicePlumbingTest : public QObject
{
    Q_OBJECT

private slots:
    void signalsBecomeQtSignals()
    {
        UnixSignals signalsSeen;
        QVERIFY(signalsSeen.isValid());
        QSignalSpy terminate(&signalsSeen, &UnixSignals::terminate);
        QSignalSpy reload(&signalsSeen, &UnixSignals::reload);
        ::kill(getpid(), SIGHUP);
        QTRY_COMPARE(reload.count(), 1);
        ::kill(getpid(), SIGTERM);
        QTRY_COMPARE(terminate.count(), 1);
        ::kill(getpid(), SIGINT);
        QTRY_COMPARE(terminate.count(), 2);
        QCOMPARE(reload.count(), 1);
    }

    // Standard error goes to a file while the handler is installed.
    void logLinesCarryJournaldPriorities()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("stderr"));
        const int savedStderr = dup(STDERR_FILENO);
        const int file = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(savedStderr >= 0 && file >= 0);
        dup2(file, STDERR_FILENO);
        ::close(file);
        const QtMessageHandler previous = qInstallMessageHandler(nullptr);
        ServiceLog::install();
        qCritical("Журнал недоступен");
        qWarning("второй\nэкземпляр");
        qInfo("Контроллер «Котельная» не отвечает");
        qCWarning(linkLog, "port closed");
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true"));
        qDebug("cycle");
        qInstallMessageHandler(previous);
        dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);

        QCOMPARE(QString::fromUtf8(readAll(path)),
                 QStringLiteral("<3>Журнал недоступен\n"
                                "<4>второй экземпляр\n"
                                "<5>Контроллер «Котельная» не отвечает\n"
                                "<4>tarvik.link: port closed\n"
                                "<7>cycle\n"));
    }

    void oneInstancePerJournal()
    {
        QTemporaryDir folder;
        const QString journal = folder.filePath(QStringLiteral("journal.sqlite"));
        InstanceLock first;
        QVERIFY2(first.tryLock(journal), qPrintable(first.problem()));

        InstanceLock second;
        QVERIFY(!second.tryLock(journal));
        QCOMPARE(second.problem(), QStringLiteral("Журнал %1 уже ведёт другой экземпляр службы (pid %2)")
                                       .arg(journal).arg(getpid()));
        InstanceLock other;
        QVERIFY(other.tryLock(folder.filePath(QStringLiteral("other.sqlite"))));

        first.unlock();
        QVERIFY2(second.tryLock(journal), qPrintable(second.problem()));

        InstanceLock nowhere;
        QVERIFY(!nowhere.tryLock(folder.filePath(QStringLiteral("missing/journal.sqlite"))));
        QVERIFY2(nowhere.problem().contains(folder.filePath(QStringLiteral("missing/journal.sqlite"))),
                 qPrintable(nowhere.problem()));
    }

    // kill -9 leaves the lock file behind; the lock goes with the process.
    // The child holds it as a service would and waits to be killed.
    void killedHolderReleasesTheJournal()
    {
        QTemporaryDir folder;
        const QString journal = folder.filePath(QStringLiteral("journal.sqlite"));
        const QByteArray lockPath = QFile::encodeName(InstanceLock::lockPathFor(journal));
        int ready[2];
        QVERIFY(pipe(ready) == 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) { // only async-signal-safe calls here
            const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT, 0640);
            if (fd >= 0 && flock(fd, LOCK_EX) == 0 && ::write(ready[1], "1", 1) == 1)
                pause();
            _exit(1);
        }
        ::close(ready[1]);
        char byte = 0;
        QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));
        ::close(ready[0]);
        InstanceLock lock;
        QVERIFY(!lock.tryLock(journal));
        QVERIFY2(lock.problem().startsWith(QStringLiteral("Журнал %1 уже ведёт").arg(journal)),
                 qPrintable(lock.problem()));
        ::kill(child, SIGKILL);
        QCOMPARE(waitpid(child, nullptr, 0), child);
        QVERIFY2(lock.tryLock(journal), qPrintable(lock.problem()));
    }
};

QTEST_GUILESS_MAIN(ServicePlumbingTest)
#include "tst_serviceplumbing.moc"
