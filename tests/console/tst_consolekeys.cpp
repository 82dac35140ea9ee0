// The console's keys: F5 starts polling, F9 silences the alarm, Shift+F5
// stops, each only when its button could be pressed; the tips name them.
#include "alarmsound.h"
#include "mainwindow.h"
#include "shortcuttips.h"
#include "simharness.h"
#include "testwidgets.h"

#include <QtTest>
#include <QtWidgets>

namespace {

struct RecordingSound : AlarmSound
{
    QStringList calls;
    void play() override { calls << QStringLiteral("play"); }
    void stop() override { calls << QStringLiteral("stop"); }
};

} // namespace

class TestConsoleKeys : public QObject
{
    Q_OBJECT

private slots:
    void keysDriveThePolling()
    {
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        setStoredPort(sim.devicePath(), {sim.devicePath()});
        MainWindow window;
        auto *sound = new RecordingSound;
        window.setAlarmSound(sound);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *enable = child<QAction>(window, "actionEnablePoll");
        auto *disable = child<QAction>(window, "actionDisablePoll");
        auto *noSound = child<QAction>(window, "actionNoSound");
        QCOMPARE(ShortcutTips::tipOf(enable), QStringLiteral("Начать опрос (F5)"));
        QCOMPARE(ShortcutTips::tipOf(disable), QStringLiteral("Завершить опрос (Shift+F5)"));
        QVERIFY(ShortcutTips::tipOf(noSound).startsWith(QStringLiteral("Отключить звук")));
        QVERIFY(ShortcutTips::tipOf(noSound).endsWith(QStringLiteral(" (F9)")));

        QSignalSpy started(enable, &QAction::triggered);
        QSignalSpy stopped(disable, &QAction::triggered);
        QSignalSpy silenced(noSound, &QAction::triggered);
        // Not polling: neither stop nor silence does anything.
        QTest::keySequence(&window, QKeySequence("Shift+F5"));
        QTest::keySequence(&window, QKeySequence("F9"));
        QCOMPARE(stopped.count() + silenced.count(), 0);

        QTest::keySequence(&window, QKeySequence("F5"));
        QCOMPARE(started.count(), 1);
        QVERIFY(disable->isEnabled());
        QTest::keySequence(&window, QKeySequence("F5")); // already polling
        QCOMPARE(started.count(), 1);

        sim.addCurrentEvent(SimEvent::now(32, 0));
        QTRY_VERIFY(sound->calls.contains("play"));
        sound->calls.clear();
        QTest::keySequence(&window, QKeySequence("F9"));
        QCOMPARE(silenced.count(), 1);
        QCOMPARE(sound->calls, QStringList("stop"));

        QTest::keySequence(&window, QKeySequence("Shift+F5"));
        QCOMPARE(stopped.count(), 1);
        QTRY_VERIFY(enable->isEnabled());
    }
};

QTEST_MAIN(TestConsoleKeys)
#include "tst_consolekeys.moc"
