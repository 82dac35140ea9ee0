// Every text of the editor's window shows whole at the common screen sizes,
// whatever font the desktop substitutes for the form's.
#include "comparedialog.h"
#include "configimage.h"
#include "mainwindow.h"
#include "textfitcheck.h"
#include "writehistorydialog.h"
#include "writelog.h"

#include <QtTest>
#include <QtWidgets>

class TestEditorTextFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { offscreenFont = QApplication::font(); }

    // A desktop's 9 pt text at the common screen sizes, every group in sight;
    // the larger offscreen default only has to show its texts whole.
    void textsShowWhole_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("addressed");
        QTest::addColumn<bool>("desktopFont");
        for (const QSize size : { QSize(1280, 720), QSize(1366, 768), QSize(1920, 1080) }) {
            for (const bool addressed : { false, true }) {
                QTest::addRow("%dx%d %s", size.width(), size.height(),
                              addressed ? "addressed" : "one line")
                    << size << addressed << true;
            }
        }
        for (const QSize size : { QSize(1366, 768), QSize(1920, 1080) })
            QTest::addRow("%dx%d large font", size.width(), size.height()) << size << true << false;
    }

    // Both polling modes: the tables and boxes take other lists in each.
    void textsShowWhole()
    {
        QFETCH(QSize, size);
        QFETCH(bool, addressed);
        QFETCH(bool, desktopFont);
        QApplication::setFont(desktopFont ? QFont("Arial", 9) : offscreenFont);
        MainWindow window;
        window.showNormal();
        window.setGeometry(QRect(QPoint(0, 0), size));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QRadioButton *>(addressed ? "radioButtonModeAdr" : "radioButtonModeNoAdr")->click();
        QCOMPARE(window.size(), size);
        // The layouts settle over a few passes of the event loop.
        QStringList cuts;
        QTRY_VERIFY2((cuts = cutTexts(&window)).isEmpty(), qPrintable(cuts.join('\n')));
        if (!desktopFont)
            return;
        // Every group, the valve table whole, in sight without scrolling sideways.
        auto *area = window.findChild<QScrollArea *>("scrollArea");
        QTRY_VERIFY(!area->horizontalScrollBar()->isVisible());
        QVERIFY(!window.findChild<QTableWidget *>("tableValve")->horizontalScrollBar()->isVisible());
        QWidget *view = area->viewport();
        for (QGroupBox *group : window.findChildren<QGroupBox *>()) {
            if (!group->isVisible())
                continue;
            const QRect inView(group->mapTo(view, QPoint(0, 0)), group->size());
            QVERIFY2(inView.left() >= 0 && inView.right() < view->width(),
                     qPrintable(QStringLiteral("%1 spans x %2..%3 of %4").arg(group->objectName())
                                    .arg(inView.left()).arg(inView.right()).arg(view->width())));
            // Reached by the vertical scroll bar, if need be.
            QVERIFY(inView.bottom() < area->widget()->height());
        }
        // Beside the inputs as drawn where there is room, under them where not.
        const QWidget *inputs = window.findChild<QGroupBox *>("groupBox_6");
        const QWidget *valves = window.findChild<QGroupBox *>("groupBox_8");
        QCOMPARE(valves->x() > inputs->geometry().right(), size.width() >= 1920);
        qInfo("%dx%d: form %dx%d in a %dx%d view", size.width(), size.height(),
              area->widget()->width(), area->widget()->height(), view->width(), view->height());
    }

    // Every value a difference can show, beside the longest field name.
    void comparisonShowsWhole()
    {
        QVector<ConfigDiff::Entry> entries;
        for (const QString &name : ConfigImage::inputNameTexts())
            entries.append({QStringLiteral("Дискретный вход 24: Наименование"), name, name});
        entries.append({QStringLiteral("Порог 1, датчик 250: Выбор клапана"), "Клапан 250", "Нет"});
        CompareDialog dialog;
        dialog.setComparison(CompareDialog::File, entries);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QStringList cuts;
        QTRY_VERIFY2((cuts = cutTexts(&dialog)).isEmpty(), qPrintable(cuts.join('\n')));
    }

    // The history's longest words: a TCP link, the SIM card's outcome, a failed step.
    void historyShowsWhole()
    {
        QTemporaryDir dir;
        WriteLog log;
        QVERIFY(dir.isValid() && log.open(dir.filePath("writes.sqlite")));
        for (const QString &outcome : {QStringLiteral("SIM карта не готова. Возможно номера телефонов не будут сохранены"),
                                       QStringLiteral("Ошибка отправки данных (шаг: подтверждение, этап 3)")}) {
            WriteRecord row;
            row.started = QDateTime::currentDateTime();
            row.engineer = QStringLiteral("Константинопольский К. К.");
            row.link = QStringLiteral("Modbus TCP [::1]:50200, устройство 247");
            row.written = QByteArray(ConfigImage::FileSize, '\0');
            QVERIFY(log.begin(row));
            QVERIFY(log.finish(row.id, WriteRecord::Failed, outcome, QDateTime::currentDateTime()));
        }
        WriteHistoryDialog history;
        history.reload(&log, QString());
        history.show();
        QVERIFY(QTest::qWaitForWindowExposed(&history));
        QStringList cuts;
        QTRY_VERIFY2((cuts = cutTexts(&history)).isEmpty(), qPrintable(cuts.join('\n')));
    }

private:
    QFont offscreenFont;
};

QTEST_MAIN(TestEditorTextFit)
#include "tst_editortextfit.moc"
