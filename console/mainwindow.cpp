#include "mainwindow.h"
#include "ui_mainwindow.h"

// The pictures live in a static library: without an explicit registration the
// linker drops them. Outside any namespace, as Q_INIT_RESOURCE requires.
static void registerResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(console);
        return true;
    }();
    Q_UNUSED(registered);
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    registerResources();
    ui->setupUi(this);
}

MainWindow::~MainWindow()
{
    delete ui;
}
