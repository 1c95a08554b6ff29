#pragma once
#include <QByteArray>

// One way of walking a host's tree over a WalkContext: it lists folders from
// the context's work list, hands each listing to the context to store, and
// leaves in the work list what it could not list. One virtual call per walk,
// or per link met; never per entry.
class FolderWalk
{
public:
    virtual ~FolderWalk() = default;
    // Whether this walk can run on the open connection; false leaves the
    // walk to another.
    virtual bool start() = 0;
    virtual void run() = 0;
    // A folder this walk holds outside the work list leaves it (the walk
    // found it is a link); false when it holds none under that path.
    virtual bool withdraw(const QByteArray &path)
    {
        Q_UNUSED(path);
        return false;
    }
};
