#include "HarvexApplication.h"
#include "core/base/LocalZone.h"


#include <QApplication>

int main(int argc, char **argv)
{
    LocalZone::pin();
    QApplication app(argc, argv);
    // Before the data folder is chosen: the per-user folder is named after it.
    QApplication::setApplicationName(QStringLiteral("Harvex"));
    HarvexApplication harvex;
    if (!harvex.startUp())
        return 1;
    const int rc = app.exec();
    harvex.shutDown();
    return rc;
}
