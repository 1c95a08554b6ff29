#pragma once
#include <QString>

// Where the program keeps its settings file, log file and catalogue folder.
// Portable use first: the executable's own folder when it is writable and
// not the folder the program is installed to; otherwise the per-user data folder.
class AppPaths
{
public:
    static QString baseName() { return QStringLiteral("Harvex"); }
    // Always ends with the platform's separator.
    static QString programDir();
    static void setProgramDir(const QString &dir);
    static QString settingsFile() { return programDir() + baseName() + QStringLiteral(".ini"); }
    static QString logFile() { return programDir() + baseName() + QStringLiteral(".log"); }
    static QString catalogueDir() { return programDir() + QStringLiteral("DB"); }

private:
    static QString chooseDefault();
    static bool isInstalled(const QString &exeDir);
};
