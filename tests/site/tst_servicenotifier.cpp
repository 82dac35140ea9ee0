// The service manager's side of the service: sd_notify messages on a socket
// the test binds, and the watchdog that pings only while every line moves.

#include "notifysocket.h"
#include "progresswatchdog.h"
#include "servicenotifier.h"

#include <QtTest>

#include <atomic>

namespace {

int criticalCount = 0;
QtMessageHandler previousHandler = nullptr;

void countCriticals(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtCriticalMsg)
        ++criticalCount;
    previousHandler(type, context, text);
}

int pingsIn(const QList<QByteArray> &messages)
{
    return int(messages.count("WATCHDOG=1"));
}

} // namespace

class ServiceNotifierTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        qunsetenv("WATCHDOG_USEC");
        qunsetenv("WATCHDOG_PID");
    }

    void messagesReachTheSocket()
    {
        NotifySocket socket;
        QVERIFY(socket.isValid());
        qputenv("NOTIFY_SOCKET", QFile::encodeName(socket.path()));
        ServiceNotifier notifier;
        notifier.ready();
        notifier.status(QStringLiteral("Опрос: 3 контроллера\nвторая строка"));
        notifier.reloading();
        notifier.stopping();
        const QList<QByteArray> messages = socket.take();
        QCOMPARE(messages.size(), 4);
        QCOMPARE(messages.at(0), QByteArray("READY=1"));
        QCOMPARE(QString::fromUtf8(messages.at(1)), QStringLiteral("STATUS=Опрос: 3 контроллера вторая строка"));
        QVERIFY2(QRegularExpression(QStringLiteral("^RELOADING=1\nMONOTONIC_USEC=[1-9][0-9]*$"))
                     .match(QString::fromLatin1(messages.at(2))).hasMatch(), messages.at(2).constData());
        QCOMPARE(messages.at(3), QByteArray("STOPPING=1"));
        qunsetenv("NOTIFY_SOCKET");
    }

    // The manager names the process the watchdog is meant for.
    void watchdogIntervalFollowsTheEnvironment()
    {
        ServiceNotifier notifier;
        QCOMPARE(notifier.watchdogInterval().count(), 0);
        qputenv("WATCHDOG_USEC", "30000000");
        QCOMPARE(notifier.watchdogInterval().count(), 30000);
        qputenv("WATCHDOG_PID", QByteArray::number(qint64(getpid()) + 1));
        QCOMPARE(notifier.watchdogInterval().count(), 0);
        qputenv("WATCHDOG_PID", QByteArray::number(qint64(getpid())));
        QCOMPARE(notifier.watchdogInterval().count(), 30000);
        qputenv("WATCHDOG_USEC", "garbage");
        QCOMPARE(notifier.watchdogInterval().count(), 0);
    }

    // A stalled line stops the pings and is logged once; when it moves again
    // the pings come back. A line's first check needs it to have moved since
    // it was registered.
    void watchdogPingsOnlyWhileEveryLineMoves()
    {
        NotifySocket socket;
        QVERIFY(socket.isValid());
        qputenv("NOTIFY_SOCKET", QFile::encodeName(socket.path()));
        ServiceNotifier notifier;
        ProgressWatchdog watchdog(notifier);
        quint64 first = 5, second = 0;
        watchdog.registerLine(QStringLiteral("/dev/ttyUSB0"), [&] { return first; });
        watchdog.registerLine(QStringLiteral("127.0.0.1:502"), [&] { return second; });

        QVERIFY(!watchdog.check());
        ++first, ++second;
        QVERIFY(watchdog.check());
        QCOMPARE(pingsIn(socket.take()), 1);

        criticalCount = 0;
        previousHandler = qInstallMessageHandler(countCriticals);
        ++first;
        QVERIFY(!watchdog.check());
        ++first;
        QVERIFY(!watchdog.check());
        qInstallMessageHandler(previousHandler);
        QCOMPARE(criticalCount, 1);
        QCOMPARE(pingsIn(socket.take()), 0);

        ++first, ++second;
        QVERIFY(watchdog.check());
        QCOMPARE(pingsIn(socket.take()), 1);

        watchdog.unregisterAll();
        QVERIFY(watchdog.check()); // no lines: nothing to wait for
        qunsetenv("NOTIFY_SOCKET");
    }

    // The timer checks at half the manager's interval, so a moving service
    // pings about twice per interval; without a watchdog it never starts.
    void watchdogTimerPingsAtHalfTheInterval()
    {
        NotifySocket socket;
        QVERIFY(socket.isValid());
        qputenv("NOTIFY_SOCKET", QFile::encodeName(socket.path()));
        ServiceNotifier notifier;
        ProgressWatchdog watchdog(notifier);
        QVERIFY(!watchdog.start());

        qputenv("WATCHDOG_USEC", "200000");
        std::atomic<quint64> counter {0};
        QTimer worker;
        connect(&worker, &QTimer::timeout, [&] { ++counter; });
        worker.start(10);
        watchdog.registerLine(QStringLiteral("/dev/ttyUSB0"), [&] { return counter.load(); });
        QVERIFY(watchdog.start());
        QTest::qWait(1050);
        const int pings = pingsIn(socket.take());
        QVERIFY2(pings >= 3 && pings <= 11, qPrintable(QString::number(pings)));

        worker.stop();
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("/dev/ttyUSB0")));
        QTest::qWait(250);
        socket.take();
        QTest::qWait(500);
        QCOMPARE(pingsIn(socket.take()), 0);
        qunsetenv("NOTIFY_SOCKET");
    }
};

QTEST_GUILESS_MAIN(ServiceNotifierTest)
#include "tst_servicenotifier.moc"
