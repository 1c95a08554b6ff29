#pragma once
#include <QStringList>

class IniFile;

// The hosts offered in the host drop-down, most recent first, kept in the
// settings file's [HOSTS] section for both programs.
class HostHistory
{
public:
    static constexpr int MaxHosts = 100;

    explicit HostHistory(IniFile &settings);

    QStringList load() const;
    // Writes at most MaxHosts entries in order. Empty entries count but are
    // not written, so an older value under that number stays in the file:
    // stored settings files rely on this numbering.
    void save(const QStringList &hosts);
    // host goes on top (once); the rest keep their order.
    void remember(const QString &host);

private:
    IniFile &m_settings;
};
