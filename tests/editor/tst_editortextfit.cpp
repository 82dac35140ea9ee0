// Every text of the editor's window shows whole at the common screen sizes,
// whatever font the desktop substitutes for the form's.
#include "comparedialog.h"
#include "configimage.h"
#include "mainwindow.h"
#include "textfitcheck.h"

#include <QtTest>
#include <QtWidgets>

class TestEditorTextFit : public QObject
{
    Q_OBJECT

private slots:
    void textsShowWhole_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("addressed");
        for (const QSize size : { QSize(1366, 768), QSize(1920, 1080) }) {
            for (const bool addressed : { false, true }) {
                QTest::addRow("%dx%d %s", size.width(), size.height(),
                              addressed ? "addressed" : "one line")
                    << size << addressed;
            }
        }
    }

    // Both polling modes: the tables and boxes take other lists in each.
    void textsShowWhole()
    {
        QFETCH(QSize, size);
        QFETCH(bool, addressed);
        MainWindow window;
        window.showNormal();
        window.setGeometry(QRect(QPoint(0, 0), size));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QRadioButton *>(addressed ? "radioButtonModeAdr" : "radioButtonModeNoAdr")->click();
        QCOMPARE(window.size(), size);
        // The layouts settle over a few passes of the event loop.
        QStringList cuts;
        QTRY_VERIFY2((cuts = cutTexts(&window)).isEmpty(), qPrintable(cuts.join('\n')));
        // Wide enough to show the valve table without scrolling sideways.
        auto *valves = window.findChild<QTableWidget *>("tableValve");
        if (size.width() >= 1920)
            QVERIFY(!valves->horizontalScrollBar()->isVisible());
        // The sensor row keeps to the visible width: "Пожар" needs no scrolling sideways.
        auto *fire = window.findChild<QGroupBox *>("groupBox_17");
        QWidget *view = window.findChild<QScrollArea *>("scrollArea")->viewport();
        QTRY_VERIFY(fire->mapTo(view, QPoint(fire->width(), 0)).x() <= view->width());
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
};

QTEST_MAIN(TestEditorTextFit)
#include "tst_editortextfit.moc"
