#include "BatchView.h"
#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"

#include <QCoreApplication>

void BatchView::showView()
{
    m_shown = true;
    m_log.LogLine(QStringLiteral("   Scanning of Host ") + m_host + QStringLiteral(" started:"), true);
    m_elapsed.start();
}

void BatchView::hideView()
{
    if (!m_shown)
        return;
    m_shown = false;
    m_log.LogLine(QStringLiteral("   Scanning complete. Scan time:")
                      + ElapsedCounter::ElapsedText(int(m_elapsed.elapsed() / 1000)),
                  false);
}

// The thread's timers (the catalogue's commits, another scan's request for
// the writer's turn) run here.
void BatchView::pumpEvents()
{
    QCoreApplication::processEvents();
}
