#pragma once
#include "core/base/UserMessages.h"
#include "core/scan/HostSource.h"
#include "core/scan/ScanView.h"

#include <QStringList>
#include <functional>

// What a scan reports to, for the scanner's and the walks' tests.
struct FixedHost : HostSource
{
    QString host = "H";
    QString CurrentHost() override { return host; }
    QString CurrentUser() override { return {}; }
    QString CurrentPassword() override { return {}; }
};

struct Recorder : UserMessages
{
    QStringList shown;
    void showMessage(const QString &t) override { shown << t; }
};

// Records each pass as "progress|dirs|records" at its pump before the path is taken.
struct RecordingView : ScanView
{
    bool visible = false;
    qint64 progress = 50;
    QStringList passes;
    int dirs = 0;
    qint64 recs = 0;
    int cancelAtPump = -1;
    int pumps = 0;
    std::function<void()> cancel; // the view's Cancel button
    void showView() override { visible = true; }
    void hideView() override { visible = false; }
    void setProgress(qint64 p) override { progress = p; }
    void setCounts(int d, qint64 r) override { dirs = d; recs = r; }
    void repaintView() override { passes << QStringLiteral("%1|%2|%3").arg(progress).arg(dirs).arg(recs); }
    void pumpEvents() override
    {
        if (++pumps == cancelAtPump && cancel)
            cancel();
    }
};
