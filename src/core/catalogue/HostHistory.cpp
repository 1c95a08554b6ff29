#include "HostHistory.h"
#include "core/base/IniFile.h"

namespace {
const QString Section = QStringLiteral("HOSTS");
const QString Count = QStringLiteral("Host Count");
} // namespace

HostHistory::HostHistory(IniFile &settings)
    : m_settings(settings)
{
}

QStringList HostHistory::load() const
{
    QStringList hosts;
    const int n = m_settings.readInt(Section, Count, 0);
    for (int i = 1; i <= n; ++i)
        hosts << m_settings.readString(Section, QString::number(i), QString());
    return hosts;
}

void HostHistory::save(const QStringList &hosts)
{
    const int n = int(qMin<qsizetype>(MaxHosts, hosts.size()));
    m_settings.writeInt(Section, Count, n);
    for (int i = 1; i <= n; ++i) {
        if (!hosts[i - 1].isEmpty())
            m_settings.writeString(Section, QString::number(i), hosts[i - 1]);
    }
}

void HostHistory::remember(const QString &host)
{
    QStringList hosts = load();
    hosts.removeAll(host);
    hosts.prepend(host);
    save(hosts);
}
