#include "CliApp.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Harvex"));
    CliApp cli;
    return cli.run(QCoreApplication::arguments());
}
