#include "ScanOptionsDraft.h"

void ScanOptionsDraft::load(const ScanOptions &options)
{
    m_options = &options;
    m_program = options.program();
    m_hosts.clear();
    m_forgotten.clear();
}

ScanOptions::Host ScanOptionsDraft::host(const QString &hostText) const
{
    const QString key = ScanOptions::hostKey(hostText);
    ScanOptions::Host h = m_hosts.contains(key) ? m_hosts.value(key)
        : m_options                            ? m_options->host(key)
                                               : ScanOptions::Host();
    if (m_forgotten.contains(key))
        h.pinnedSha256.clear();
    return h;
}

void ScanOptionsDraft::setHost(const QString &hostText, const ScanOptions::Host &h)
{
    const QString key = ScanOptions::hostKey(hostText);
    if (!key.isEmpty())
        m_hosts.insert(key, h);
}

void ScanOptionsDraft::forget(const QString &hostText)
{
    const QString key = ScanOptions::hostKey(hostText);
    if (!key.isEmpty())
        m_forgotten.insert(key);
}

QStringList ScanOptionsDraft::apply(ScanOptions &options) const
{
    options.setProgram(m_program);
    QStringList recoded;
    for (auto it = m_hosts.cbegin(); it != m_hosts.cend(); ++it) {
        if (options.host(it.key()).codePage != it.value().codePage)
            recoded << it.key();
        options.setHost(it.key(), it.value());
    }
    for (const QString &key : m_forgotten)
        options.forget(key);
    return recoded;
}
