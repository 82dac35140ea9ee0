// Every text of the console's window shows whole at the common screen sizes,
// whatever font the desktop substitutes for the form's, with every event name
// the controller can report in the tables.
#include "alarmtype.h"
#include "eventcatalogue.h"
#include "mainwindow.h"
#include "mediaalarmsound.h"
#include "textfitcheck.h"

#include <QtTest>
#include <QtWidgets>

namespace {

struct SilentSound : AlarmSound
{
    void play() override {}
    void stop() override {}
};

// Controller events and device events at the widest address, every code.
void fillTables(MainWindow &window)
{
    for (const quint16 source : { quint16(0), quint16(EventCatalogue::EndDeviceSource - 1) }) {
        for (int code = 0; code < 256; ++code) {
            const AlarmType alarm{ source, quint8(code), 26, 12, 28, 23, 59, 59 };
            for (const char *slot : { "TableAlarmCurrentSet", "TableAlarmAllSet" })
                QVERIFY(QMetaObject::invokeMethod(&window, slot, Q_ARG(AlarmType, alarm)));
        }
    }
}

} // namespace

class TestConsoleTextFit : public QObject
{
    Q_OBJECT

private slots:
    void textsShowWhole_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("form size") << QSize(843, 726);
        QTest::newRow("1366x768") << QSize(1366, 768);
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }

    void textsShowWhole()
    {
        QFETCH(QSize, size);
        MainWindow window;
        window.setAlarmSound(new SilentSound);
        fillTables(window);
        window.show();
        window.setGeometry(QRect(QPoint(0, 0), size));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), size);
        auto *tabs = window.findChild<QTabWidget *>("tabSelect");
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QStringList cuts;
            QTRY_VERIFY2((cuts = cutTexts(&window)).isEmpty(), qPrintable(cuts.join('\n')));
        }
    }
};

QTEST_MAIN(TestConsoleTextFit)
#include "tst_consoletextfit.moc"
