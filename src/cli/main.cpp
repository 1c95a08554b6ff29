#include "CliApp.h"
#include "core/base/LocalZone.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    LocalZone::pin();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Harvex"));
    CliApp cli;
    return cli.run(QCoreApplication::arguments());
}
