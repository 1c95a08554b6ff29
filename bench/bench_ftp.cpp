// Lists every folder of a generated tree over one session with each listing
// method the server supports, in active and in passive mode, and prints
// folders per second for each; then the same tree over explicit FTPS
// (control and data connections encrypted, data sessions resumed).
#include "BenchTree.h"
#include "core/ftp/CertificateFingerprint.h"
#include "core/ftp/FtpSession.h"
#include "FtpTestServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {
struct Rates
{
    double dataConnection = 0;
    double best = 0;
};

bool usesDataConnection(FtpSession::Method m)
{
    return m == FtpSession::Method::List || m == FtpSession::Method::ListA || m == FtpSession::Method::Mlsd;
}

Rates measure(const BenchTree &tree, const QString &hostText, bool passive, const QString &pin = QString())
{
    Rates rates;
    FtpLogon logon = FtpLogon::fromHostText(hostText);
    logon.passive = passive;
    if (!pin.isEmpty()) {
        logon.tls = FtpLogon::Tls::Require;
        logon.pinnedSha256 = CertificateFingerprint::parse(pin);
    }
    FtpSession s;
    if (!s.open(logon)) {
        std::fprintf(stderr, "log-on failed: %s\n", qPrintable(s.lastError()));
        return rates;
    }
    for (const FtpSession::Method m : s.supportedMethods()) {
        s.setMethod(m);
        QElapsedTimer t;
        t.start();
        qint64 entries = 0;
        for (const QByteArray &folder : tree.folders)
            entries += s.list(folder).entries.size();
        const double rate = tree.folders.size() / (t.nsecsElapsed() / 1e9);
        std::printf("%-5s %-10s %-7s: %lld folders, %lld entries, %.0f folders/s\n",
                    pin.isEmpty() ? "FTP" : "FTPS", qPrintable(FtpSession::methodName(m)), passive ? "passive" : "active",
                    qlonglong(tree.folders.size()), qlonglong(entries), rate);
        std::fflush(stdout);
        if (usesDataConnection(m))
            rates.dataConnection = qMax(rates.dataConnection, rate);
        rates.best = qMax(rates.best, rate);
    }
    return rates;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    const BenchTree tree = BenchTree::make(root.path());
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    if (!server.start(root.path())) {
        std::fprintf(stderr, "cannot start vsftpd: %s\n", qPrintable(server.error()));
        return 1;
    }
    const Rates passive = measure(tree, server.hostText(), true);
    const Rates active = measure(tree, server.hostText(), false);
    FtpTestServer secure(FtpTestServer::Kind::Vsftpd);
    if (!secure.enableTls() || !secure.start(root.path())) {
        std::fprintf(stderr, "cannot start vsftpd with TLS: %s\n", qPrintable(secure.error()));
        return 1;
    }
    const Rates tlsPassive = measure(tree, secure.hostText(), true, secure.certificateFingerprint());
    std::printf("{\"folders\": %lld, \"list_folders_per_s\": %.0f, \"list_active_folders_per_s\": %.0f, "
                "\"best_folders_per_s\": %.0f, \"ftps_list_folders_per_s\": %.0f, \"ftps_best_folders_per_s\": %.0f}\n",
                qlonglong(tree.folders.size()), qMax(active.dataConnection, passive.dataConnection),
                active.dataConnection, qMax(active.best, passive.best), tlsPassive.dataConnection, tlsPassive.best);
    return 0;
}
