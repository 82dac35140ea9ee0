#include "simulator.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Simulator simulator;
    const QString path = simulator.addPseudoTerminal();
    if (path.isEmpty() || !simulator.start())
        return 1;
    QTextStream(stdout) << path << Qt::endl;
    return app.exec();
}
