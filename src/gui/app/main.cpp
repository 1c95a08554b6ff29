#include "HarvexApplication.h"
#include "core/base/LocalZone.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {
// Answered before QApplication exists: it needs no display, so a package
// check or an ssh session can ask.
bool printedInfo(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("harvex " HARVEX_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::puts("usage: harvex [Qt options]\n"
                      "  the desktop program; harvex-cli is its command-line twin (man harvex)\n"
                      "  --help     this text\n"
                      "  --version  the version");
            return true;
        }
    }
    return false;
}
} // namespace

int main(int argc, char **argv)
{
    if (printedInfo(argc, argv))
        return 0;
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
