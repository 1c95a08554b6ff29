#pragma once
#include <QString>
#include <QStringList>

class QProcess;

// Times whole-tree listings through a latency proxy: harvex-cli, lftp's
// find (cache off) and rclone's recursive lsf with 8 and 16 checkers, on one
// generated tree served by each server in turn, in one run.
class LatencyBench
{
public:
    // "pipeline": the bare walk, nothing stored, with listings pipelined on
    // one connection; "pipelineN": with a fixed window of N. "harvexN":
    // harvex-cli with N connections; "rcloneN": rclone with N checkers.
    static QStringList allTools() { return {"harvex", "lftp", "rclone8", "rclone16", "pipeline"}; }

    LatencyBench(int rttMs, const QStringList &tools);
    // Cross-checks: an external proxy script (--listen, --upstream,
    // --delay-ms; prints "ready PORT") instead of the built-in one.
    void setExternalProxy(const QString &script) { m_externalProxy = script; }
    // Any of BenchServer::names(); vsftpd unless set.
    void setServers(const QStringList &names) { m_servers = names; }
    // Prints a line per tool and then one JSON object; the exit code.
    int run();

private:
    bool runOn(const QString &server, QStringList &json);
    double timeProcess(const QString &program, const QStringList &args, const QString &dataDir = {},
                       const QByteArray &input = {});
    double harvex(quint16 port, int connections);
    double lftp(quint16 port);
    double rclone(quint16 port, int checkers);
    double pipelinedWalk(quint16 port, int fixedWindow);
    double timeTool(const QString &tool, quint16 port);
    void timeTools(quint16 port, const QString &server, QStringList &json);
    quint16 startExternalProxy(quint16 upstream, QProcess &process);

    int m_rttMs;
    QStringList m_tools;
    QString m_work;
    QString m_externalProxy;
    QStringList m_servers{QStringLiteral("vsftpd")};
    QString m_user;
    QString m_fingerprint; // of the server's certificate, when it speaks TLS
};
