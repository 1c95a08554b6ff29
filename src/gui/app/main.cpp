#include "HarvexApplication.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    HarvexApplication harvex;
    if (!harvex.startUp())
        return 1;
    const int rc = app.exec();
    harvex.shutDown();
    return rc;
}
