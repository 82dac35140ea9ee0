// The shift report as a PDF, read back the way a person's tools read it:
// poppler's pdftotext and pdfinfo. Pages, their numbers, and that the guard,
// the period, every event and the lamps are there as text.
#include "pdftext.h"
#include "shiftreportdocument.h"

#include <QtTest>

namespace {

ShiftReport shiftWith(int events)
{
    ShiftReport report;
    report.computer = "пост-1";
    report.guard = "Иванов И.И.";
    report.from = QDateTime(QDate(2026, 3, 1), QTime(8, 0));
    report.to = QDateTime(QDate(2026, 3, 1), QTime(20, 0));
    report.lines = QStringList{"Порт ttyUSB0, адрес 3"};
    for (int i = 0; i < events; ++i) {
        const QString time = QTime(8, 0).addSecs(i * 60).toString("HH:mm:ss");
        report.events.append({"01.03.2026 " + time, QString("Пожар %1").arg(i + 1, 3, 10, QChar('0')),
                              "01.03.2026 " + time, QString(), i % 2 ? QString() : "01.03.2026 19:00:00",
                              i % 2 ? QString() : "Петров"});
    }
    report.eventTotal = events;
    report.unacknowledged = events / 2;
    report.counts = {{"Событие (Текущие события)", events}};
    report.failures = {{"01.03.2026 10:00:00", "Ошибка чтения линии! Опрос завершен."}};
    report.lamps = {{"Работа", "горит"}, {"Порог СH", "мигает"}, {"Пожар", "не горит"}};
    return report;
}

} // namespace

class TestShiftReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void onePageShift();
    void longShiftOnNumberedPages();
    void unwritableFileIsReported();

private:
    QTemporaryDir dir;
};

void TestShiftReport::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable("pdftotext").isEmpty(), "pdftotext (poppler-utils) is needed");
    QVERIFY(dir.isValid());
}

void TestShiftReport::onePageShift()
{
    const QString path = dir.filePath("short.pdf");
    QString error;
    QCOMPARE(ShiftReportDocument(shiftWith(3)).writePdf(path, &error), 1);
    QCOMPARE(pdfInfo(path, "Pages").toInt(), 1);
    QVERIFY2(pdfInfo(path, "Page size").contains("(A4)"), qPrintable(pdfInfo(path, "Page size")));
    const QString text = pdfText(path).simplified();
    for (const char *expected : {"Отчёт за смену", "Дежурный: Иванов И.И.", "Компьютер: пост-1",
                                    "с 01.03.2026 08:00 по 01.03.2026 20:00", "Порт ttyUSB0, адрес 3",
                                    "Пожар 001", "Пожар 002", "Пожар 003", "Петров",
                                    "Ошибка чтения линии! Опрос завершен.", "Порог СH: мигает",
                                    "Работа: горит", "Пожар: не горит", "Страница 1 из 1"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), qPrintable(QString::fromUtf8(expected) + " not in: " + text));

    // A site's report has each event's controller, its head unbroken, and
    // says whose lamps it shows.
    ShiftReport site = shiftWith(2);
    for (ShiftReport::Event &event : site.events)
        event.controller = "Котельная";
    site.lampsOf = "Котельная";
    const QString sitePath = dir.filePath("site.pdf");
    QCOMPARE(ShiftReportDocument(site).writePdf(sitePath, &error), 1);
    const QString siteText = pdfText(sitePath).simplified();
    QVERIFY2(siteText.contains("Контроллер") && siteText.count("Котельная") == 3, qPrintable(siteText));
    QVERIFY2(siteText.contains("Пульт в конце периода: «Котельная»"), qPrintable(siteText));
}

void TestShiftReport::longShiftOnNumberedPages()
{
    const int events = 150;
    const QString path = dir.filePath("long.pdf");
    QString error;
    const int pages = ShiftReportDocument(shiftWith(events)).writePdf(path, &error);
    QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
    QCOMPARE(pdfInfo(path, "Pages").toInt(), pages);
    const QStringList pageTexts = pdfText(path).split('\f', Qt::SkipEmptyParts);
    QCOMPARE(pageTexts.size(), pages);
    for (int page = 0; page < pages; ++page) {
        const QString footer = QString("Страница %1 из %2").arg(page + 1).arg(pages);
        QVERIFY2(pageTexts[page].contains(footer), qPrintable(footer));
    }
    // Every event once, the table's head again on each page it runs over.
    const QString all = pageTexts.join(' ');
    for (int i = 1; i <= events; ++i) {
        const QString name = QString("Пожар %1").arg(i, 3, 10, QChar('0'));
        QCOMPARE(all.count(name), 1);
    }
    QVERIFY(pageTexts[1].contains("Квитировано") && pageTexts[2].contains("Квитировано"));
    QVERIFY(pageTexts.last().contains("Порог СH: мигает"));
}

void TestShiftReport::unwritableFileIsReported()
{
    QString error;
    const QString path = dir.filePath("no such folder/report.pdf");
    QCOMPARE(ShiftReportDocument(shiftWith(1)).writePdf(path, &error), 0);
    QVERIFY2(error.contains(path), qPrintable(error));
}

QTEST_MAIN(TestShiftReport)
#include "tst_shiftreport.moc"
