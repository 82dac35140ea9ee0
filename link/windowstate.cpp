#include "windowstate.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>

namespace {

QSettings openStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QStringLiteral("Tarvik"), QStringLiteral("Desktop"));
}

// A title bar's worth: less than this in sight cannot be grabbed and moved.
constexpr int GrabbableSide = 40;

} // namespace

WindowState::WindowState(QMainWindow *window, const QString &name, QTabWidget *tabs)
    : QObject(window), window(window), name(name), tabs(tabs)
{
    window->installEventFilter(this);
}

QString WindowState::key(const char *entry) const
{
    return name + QLatin1Char('/') + QLatin1String(entry);
}

bool WindowState::onSomeScreen(const QRect &frame)
{
    const auto screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        const QRect seen = screen->availableGeometry().intersected(frame);
        if (seen.width() >= GrabbableSide && seen.height() >= GrabbableSide)
            return true;
    }
    return false;
}

bool WindowState::restore()
{
    QSettings store = openStore();
    const QRect geometry = store.value(key("geometry")).toRect();
    if (!geometry.isValid())
        return false;
    if (tabs) {
        const int tab = store.value(key("tab"), tabs->currentIndex()).toInt();
        if (tab >= 0 && tab < tabs->count())
            tabs->setCurrentIndex(tab);
    }
    const bool placed = onSomeScreen(geometry);
    const QScreen *screen = placed ? QGuiApplication::screenAt(geometry.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    // A screen smaller than the one the window was left on.
    const QSize size = screen ? geometry.size().boundedTo(screen->availableGeometry().size())
                              : geometry.size();
    if (placed)
        window->setGeometry(QRect(geometry.topLeft(), size));
    else
        window->resize(size);
    if (store.value(key("maximized")).toBool())
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    return true;
}

// A maximised window keeps the place it had before, so that leaving the
// maximised state next time goes back there.
void WindowState::save() const
{
    QSettings store = openStore();
    const bool maximized = window->isMaximized();
    const QRect normal = window->normalGeometry();
    store.setValue(key("geometry"), maximized && normal.isValid() ? normal : window->geometry());
    store.setValue(key("maximized"), maximized);
    if (tabs)
        store.setValue(key("tab"), tabs->currentIndex());
}

bool WindowState::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::Close)
        save();
    return QObject::eventFilter(watched, event);
}
