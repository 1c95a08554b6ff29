#include "IndexProgress.h"
#include "TerminalProgress.h"

#include <cstdio>
#include <unistd.h>

IndexProgress::IndexProgress()
    : m_tty(isatty(fileno(stderr)) != 0)
{
    TerminalProgress::cancelOnSignals(&m_cancel);
}

IndexProgress::~IndexProgress()
{
    TerminalProgress::releaseSignals();
}

bool IndexProgress::operator()(qint64 done, qint64 total)
{
    if (!m_started) {
        if (done >= total)
            return true; // nothing was left to index
        m_started = true;
        m_elapsed.start();
        std::fprintf(stderr, "Indexing the names of %lld rows for fast finds, once (Ctrl-C stops; a later run goes on)\n",
                     static_cast<long long>(total - done));
    }
    if (m_cancel.load()) {
        m_stopped = true;
        std::fprintf(stderr, "%sIndexing names stopped at %lld of %lld rows: finds read the whole table until a "
                             "later run completes the index\n",
                     m_tty ? "\r\033[K" : "", static_cast<long long>(done), static_cast<long long>(total));
        return false;
    }
    draw(done, total);
    return true;
}

void IndexProgress::draw(qint64 done, qint64 total)
{
    const double seconds = m_elapsed.elapsed() / 1000.0;
    if (done >= total)
        std::fprintf(stderr, "%sNames indexed in %.1f s\n", m_tty ? "\r\033[K" : "", seconds);
    else if (m_tty)
        std::fprintf(stderr, "\r\033[KIndexing names: %lld of %lld rows (%.0f%%), %.0f s", static_cast<long long>(done),
                     static_cast<long long>(total), 100.0 * double(done) / double(total), seconds);
    std::fflush(stderr);
}
