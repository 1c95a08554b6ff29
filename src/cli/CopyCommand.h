#pragma once
#include <QStringList>

class Catalogue;
struct CommandContext;

// harvex-cli copy --to URL / --from URL [--host HOST]...: moves catalogues
// between the data folder's file and a shared database, telling progress on
// standard error.
class CopyCommand
{
public:
    explicit CopyCommand(Catalogue &local) : m_local(local) {}
    // The command line's copy: exactly one of --to and --from, any --host.
    static int fromCommandLine(const CommandContext &context);
    // toUrl: local -> url, else url -> local. Returns harvex-cli's exit code
    // (0 done, 1 failed), having said why.
    int run(const QString &url, bool toUrl, const QStringList &hosts);

private:
    Catalogue &m_local;
};
