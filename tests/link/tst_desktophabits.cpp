// What both programs share of a desktop program's habits: the window comes
// back where it was (never off every screen), tool bar tips name their keys,
// and Справка shows the user guide.
#include "helpwindow.h"
#include "shortcuttips.h"
#include "windowstate.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QSettings store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Desktop");
}

// A main window with three tabs, as the console has.
struct TabbedWindow
{
    QMainWindow window;
    QTabWidget *tabs = new QTabWidget;
    WindowState *state;

    TabbedWindow()
    {
        for (const char *name : {"first", "second", "third"})
            tabs->addTab(new QWidget, name);
        window.setCentralWidget(tabs);
        state = new WindowState(&window, "test", tabs);
    }
};

} // namespace

class TestDesktopHabits : public QObject
{
    Q_OBJECT

private slots:
    void init() { store().clear(); }

    void windowComesBackAsLeft()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect placed(screen.topLeft() + QPoint(40, 50), QSize(420, 310));
        {
            TabbedWindow first;
            QVERIFY(!first.state->restore());
            first.window.setGeometry(placed);
            first.tabs->setCurrentIndex(2);
            first.window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&first.window));
            first.window.close(); // as the console's close into the tray does
        }
        TabbedWindow second;
        QVERIFY(second.state->restore());
        QCOMPARE(second.window.geometry(), placed);
        QCOMPARE(second.tabs->currentIndex(), 2);
        QVERIFY(!second.window.isMaximized());
    }

    void maximisedStaysMaximised()
    {
        {
            TabbedWindow first;
            first.window.showMaximized();
            QVERIFY(QTest::qWaitForWindowExposed(&first.window));
            first.window.close();
        }
        TabbedWindow second;
        QVERIFY(second.state->restore());
        QVERIFY(second.window.windowState() & Qt::WindowMaximized);
    }

    // A screen unplugged since: the place is dropped, the size kept within
    // the screen, and a tab that no longer exists is ignored.
    void placeOffEveryScreenIsIgnored_data()
    {
        QTest::addColumn<QPoint>("offset"); // from the screen's far corner
        QTest::newRow("far right and below") << QPoint(3000, 2000);
        QTest::newRow("left and above") << QPoint(-6000, -4000);
        QTest::newRow("only a sliver in sight") << QPoint(-10, -10);
    }

    void placeOffEveryScreenIsIgnored()
    {
        QFETCH(QPoint, offset);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect away(screen.bottomRight() + offset, QSize(300, 200));
        store().setValue("test/geometry", away);
        store().setValue("test/tab", 7);
        TabbedWindow window;
        window.tabs->setCurrentIndex(1);
        const QPoint ownPlace = window.window.pos();
        QVERIFY(window.state->restore());
        QCOMPARE(window.window.pos(), ownPlace);
        QCOMPARE(window.window.size(), QSize(300, 200));
        QCOMPARE(window.tabs->currentIndex(), 1);
        QVERIFY(!WindowState::onSomeScreen(away));
        QVERIFY(WindowState::onSomeScreen(screen.adjusted(100, 100, -100, -100)));
    }

    // Left on a larger screen than the present one: kept within this one.
    void largerThanTheScreenIsBounded()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        store().setValue("test/geometry", QRect(screen.topLeft(), screen.size() * 2));
        TabbedWindow window;
        QVERIFY(window.state->restore());
        QCOMPARE(window.window.geometry(), screen);
    }

    // The button's tip names the key; the action's own tip stays as it was,
    // also when the window changes it later.
    void toolTipsNameTheirKeys()
    {
        QMainWindow window;
        QToolBar *bar = window.addToolBar("bar");
        QAction *open = bar->addAction("Open");
        open->setToolTip("Открыть файл");
        open->setShortcut(QKeySequence("Ctrl+O"));
        QAction *plain = bar->addAction("Plain");
        plain->setToolTip("Без клавиши");
        ShortcutTips::install(bar);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const auto tipShown = [&](QAction *action) {
            QWidget *button = bar->widgetForAction(action);
            QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(button, &help);
            return QToolTip::text();
        };
        QCOMPARE(tipShown(open), QStringLiteral("Открыть файл (Ctrl+O)"));
        QCOMPARE(open->toolTip(), QStringLiteral("Открыть файл"));
        open->setToolTip("Открыть файл\nнет звука");
        QCOMPARE(tipShown(open), QStringLiteral("Открыть файл\nнет звука (Ctrl+O)"));
        QCOMPARE(tipShown(plain), QStringLiteral("Без клавиши"));
        QToolTip::hideText();
    }

    // F1 opens the guide, which carries its pictures along.
    void helpShowsTheGuide()
    {
        QMainWindow window;
        QToolBar *bar = window.addToolBar("bar");
        QAction *help = HelpWindow::addTo(&window, bar);
        QCOMPARE(help->text(), QStringLiteral("Справка"));
        QVERIFY(bar->actions().contains(help));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY2(!HelpWindow::locate().isEmpty(), qPrintable(HelpWindow::candidates().join('\n')));
        QTest::keyClick(&window, Qt::Key_F1);
        auto *shown = window.findChild<HelpWindow *>();
        QVERIFY(shown);
        QTRY_VERIFY(shown->isVisible());
        const QTextDocument *guide = shown->browser()->document();
        QVERIFY(guide->toPlainText().contains(QStringLiteral("Руководство пользователя")));
        // Every picture the guide names is found beside it.
        int pictures = 0;
        for (QTextBlock block = guide->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
                if (!image.isValid())
                    continue;
                ++pictures;
                const QVariant loaded = shown->browser()->loadResource(QTextDocument::ImageResource,
                                                                         QUrl(image.name()));
                QVERIFY2(!loaded.isNull(), qPrintable(image.name()));
            }
        }
        QVERIFY(pictures >= 2);
    }
};

QTEST_MAIN(TestDesktopHabits)
#include "tst_desktophabits.moc"
