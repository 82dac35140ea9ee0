// Qt's own texts and date formats come out Russian, and a machine without the
// catalogue still runs (with English buttons).
#include "translations.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QString buttonText(QMessageBox &box, QMessageBox::StandardButton which)
{
    return box.button(which)->text().remove(QLatin1Char('&'));
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    // Runs first: nothing is installed yet.
    void missingCatalogueLeavesEnglish()
    {
        QTemporaryDir empty;
        QVERIFY(!Translations::install(qApp, empty.path()));
        QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(buttonText(box, QMessageBox::Yes), QStringLiteral("Yes"));
        QCOMPARE(QLocale().language(), QLocale::Russian);
    }

    void standardTextsAreRussian()
    {
        if (!QFile::exists(Translations::directory() + QStringLiteral("/qtbase_ru.qm")))
            QSKIP("qttranslations5-l10n is not installed");
        QVERIFY(Translations::install(qApp));
        QMessageBox box(QMessageBox::Question, "t", "q",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(buttonText(box, QMessageBox::Yes), QStringLiteral("Да"));
        QCOMPARE(buttonText(box, QMessageBox::No), QStringLiteral("Нет"));
        QCOMPARE(buttonText(box, QMessageBox::Cancel), QStringLiteral("Отмена"));
        // A text field's context menu, built by Qt itself.
        QLineEdit edit;
        QScopedPointer<QMenu> menu(edit.createStandardContextMenu());
        QStringList entries;
        for (const QAction *action : menu->actions())
            entries << action->text().remove(QLatin1Char('&'));
        QVERIFY2(entries.join(' ').contains(QStringLiteral("Вставить")), qPrintable(entries.join(' ')));
    }

    void dateEditReadsTheRussianWay()
    {
        QDateEdit date(QDate(2026, 12, 7));
        QCOMPARE(date.text(), QStringLiteral("07.12.2026"));
        QTimeEdit time(QTime(13, 5));
        QCOMPARE(time.text(), QStringLiteral("13:05"));
        QCOMPARE(QLocale().toString(1.5, 'f', 1), QStringLiteral("1,5"));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
