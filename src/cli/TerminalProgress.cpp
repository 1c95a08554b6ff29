#include "TerminalProgress.h"

#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "core/scan/HostSource.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_interrupted = 0;
// Lock-free, so storing to it is safe in a signal handler.
std::atomic_bool *g_cancel = nullptr;

extern "C" void onSignal(int)
{
    g_interrupted = 1;
    if (g_cancel)
        g_cancel->store(true);
}
} // namespace

void TerminalProgress::cancelOnSignals(std::atomic_bool *cancel)
{
    static_assert(std::atomic_bool::is_always_lock_free);
    g_cancel = cancel;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

void TerminalProgress::releaseSignals()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    g_cancel = nullptr;
    g_interrupted = 0;
}

bool TerminalProgress::interrupted()
{
    return g_interrupted != 0;
}

TerminalProgress::TerminalProgress(ActivityLog &log, HostSource &hosts)
    : m_log(log)
    , m_hosts(hosts)
    , m_tty(isatty(fileno(stderr)) != 0)
{
}

void TerminalProgress::showView()
{
    m_shown = true;
    m_log.LogLine(QStringLiteral("   Scanning of Host ") + m_hosts.CurrentHost() + QStringLiteral(" started:"), true);
    m_elapsed.start();
    m_lastDraw.start();
}

void TerminalProgress::hideView()
{
    if (!m_shown)
        return;
    if (m_tty)
        std::fprintf(stderr, "\r\033[K");
    m_shown = false;
    m_log.LogLine(QStringLiteral("   Scanning complete. Scan time:")
                      + ElapsedCounter::ElapsedText(int(m_elapsed.elapsed() / 1000)),
                  false);
}

void TerminalProgress::setCounts(int directories, qint64 records)
{
    m_dirs = directories;
    m_records = records;
    if (m_initial < 0)
        m_initial = records;
}

// At most ten redraws a second: a fast scan must not spend its time on the terminal.
void TerminalProgress::repaintView()
{
    if (!m_tty || m_lastDraw.elapsed() < 100)
        return;
    m_lastDraw.restart();
    const double s = qMax(0.001, m_elapsed.elapsed() / 1000.0);
    std::fprintf(stderr, "\r\033[K%d folders found, %lld rows in the catalogue, %.0f new rows/s, %.0f s", m_dirs,
                 static_cast<long long>(m_records), (m_records - m_initial) / s, s);
    std::fflush(stderr);
}

void TerminalProgress::pumpEvents()
{
    QCoreApplication::processEvents();
}
