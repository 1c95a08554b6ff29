#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {
QString &overrideDir()
{
    static QString dir;
    return dir;
}

QString withSeparator(QString dir)
{
    dir = QDir::toNativeSeparators(QDir::cleanPath(dir));
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}

// QFileInfo::isWritable looks at permission bits only; a read-only mount or
// an ACL can still refuse, so try to create a file.
bool reallyWritable(const QString &dir)
{
    QTemporaryFile probe(dir + QStringLiteral("/.harvex-probe-XXXXXX"));
    return probe.open();
}
} // namespace

QString AppPaths::programDir()
{
    if (overrideDir().isEmpty())
        overrideDir() = chooseDefault();
    return overrideDir();
}

void AppPaths::setProgramDir(const QString &dir)
{
    QDir().mkpath(dir);
    overrideDir() = withSeparator(QFileInfo(dir).absoluteFilePath());
}

// Installed under the build's prefix (even by root, who may write there),
// or by the Debian package, which puts the programs in /usr/bin whatever
// prefix the build was configured with: the data goes to the per-user
// folder, never into a system folder.
bool AppPaths::isInstalled(const QString &exeDir)
{
    if (QDir(exeDir) == QDir(QStringLiteral("/usr/bin")))
        return true;
#ifdef HARVEX_INSTALL_BINDIR
    return QDir(exeDir) == QDir(QStringLiteral(HARVEX_INSTALL_BINDIR));
#else
    return false;
#endif
}

QString AppPaths::chooseDefault()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!isInstalled(exeDir) && reallyWritable(exeDir))
        return withSeparator(exeDir);
    const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(user);
    return withSeparator(user);
}
