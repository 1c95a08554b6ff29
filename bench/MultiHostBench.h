#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class FtpTestServer;
class ProxyHost;
class QTemporaryDir;

// Many hosts at once through latency proxies, each host a tree of about
// 1,000 entries, vsftpd and pyftpdlib taking turns:
// - hosts(): every host scanned alone (the slowest is the mark), then all of
//   them with one `scan --hosts-file`; the batch should take at most 1.5
//   times the slowest.
// - rescans(): hosts in a PostgreSQL catalogue rescanned by one `rescan`,
//   then by two at once, which share the hosts: each host scanned once, in
//   at most 0.6 times one process's time.
class MultiHostBench
{
public:
    MultiHostBench(int hosts, int rttMs);
    ~MultiHostBench();
    // Each prints a line per figure and one JSON object; returns the exit code.
    int hosts();
    int rescans();

private:
    bool startHosts();
    double timeCli(const QStringList &args) const;
    QString hostsFile() const;
    int scansOfEachHost(const QString &url) const; // -1 when the hosts differ

    int m_count;
    int m_rttMs;
    std::unique_ptr<QTemporaryDir> m_work;
    std::vector<std::unique_ptr<QTemporaryDir>> m_trees;
    std::vector<std::unique_ptr<FtpTestServer>> m_servers;
    std::unique_ptr<ProxyHost> m_proxies;
    QStringList m_addresses; // 127.0.0.1:PROXYPORT
    qint64 m_entries = 0;
};
