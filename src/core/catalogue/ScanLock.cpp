#include "ScanLock.h"
#include "CatalogueError.h"
#include "SqlStatement.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <cerrno>
#include <csignal>

namespace {
QString machine()
{
    return QSysInfo::machineHostName();
}

QString boot()
{
    return QString::fromLatin1(QSysInfo::bootUniqueId());
}

QString stamp(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODate);
}

// The catalogues and hosts this process holds now. A row naming this process but no host
// here was left by one of its own scans whose release could not be written
// (the catalogue's server went away): it blocks nothing.
QMutex heldMutex;
QSet<QString> held;

bool heldHere(const QString &key)
{
    QMutexLocker lock(&heldMutex);
    return held.contains(key);
}

void setHeldHere(const QString &key, bool on)
{
    QMutexLocker lock(&heldMutex);
    if (on)
        held.insert(key);
    else
        held.remove(key);
}

// kill(pid, 0) sends nothing: ESRCH says no such process. EPERM is a live
// process of another user.
bool processGone(qint64 pid)
{
    return pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH);
}
} // namespace

ScanLock::ScanLock(const QSqlDatabase &db)
    : m_db(db)
{
}

bool ScanLock::isDead(const Holder &h, const QDateTime &nowUtc) const
{
    if (h.machine == machine() && h.boot == boot() && h.pid == QCoreApplication::applicationPid())
        return !heldHere(m_db.databaseName() + u'\n' + h.host);
    if (h.machine == machine())
        return h.boot != boot() || processGone(h.pid); // a restart ended every process of before
    // Another machine sharing the file: only the heartbeat tells.
    return !h.heartbeat.isValid() || h.heartbeat.secsTo(nowUtc) > StaleAfterSecs;
}

// The insert is the claim: of two scans that try at once, the table's key lets one in.
bool ScanLock::insert(const QString &host)
{
    QSqlQuery q = SqlStatement::run(m_db, QStringLiteral("INSERT INTO ScanLock (Host, Machine, Boot, Pid, Heartbeat) "
                                                         "VALUES (?, ?, ?, ?, ?) ON CONFLICT (Host) DO NOTHING"),
                                    {host, machine(), boot(), QCoreApplication::applicationPid(),
                                     stamp(QDateTime::currentDateTimeUtc())});
    const bool claimed = q.numRowsAffected() == 1;
    if (claimed)
        setHeldHere(m_db.databaseName() + u'\n' + host, true);
    return claimed;
}

// Only the row as it was read is replaced: of two scans taking over one dead
// lock, one wins.
bool ScanLock::takeOver(const QString &host, const Holder &h)
{
    QSqlQuery q = SqlStatement::run(
        m_db, QStringLiteral("UPDATE ScanLock SET Machine = ?, Boot = ?, Pid = ?, Heartbeat = ? "
                             "WHERE Host = ? AND Machine = ? AND Boot = ? AND Pid = ? AND Heartbeat = ?"),
        {machine(), boot(), QCoreApplication::applicationPid(), stamp(QDateTime::currentDateTimeUtc()), host, h.machine,
         h.boot, h.pid, stamp(h.heartbeat)});
    return q.numRowsAffected() == 1;
}

bool ScanLock::claim(const QString &host)
{
    if (insert(host))
        return true;
    QSqlQuery q = SqlStatement::run(
        m_db, QStringLiteral("SELECT Machine, Boot, Pid, Heartbeat FROM ScanLock WHERE Host = ?"), {host});
    if (!q.next())
        return insert(host); // released in between
    const Holder h{q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong(),
                   QDateTime::fromString(q.value(3).toString(), Qt::ISODate).toUTC(), host};
    q.finish();
    if (!isDead(h, QDateTime::currentDateTimeUtc()) || !takeOver(host, h))
        return false;
    setHeldHere(m_db.databaseName() + u'\n' + host, true);
    return true;
}

void ScanLock::refresh(const QString &host)
{
    SqlStatement::run(m_db, QStringLiteral("UPDATE ScanLock SET Heartbeat = ? WHERE Host = ? AND Machine = ? AND Pid = ?"),
                      {stamp(QDateTime::currentDateTimeUtc()), host, machine(), QCoreApplication::applicationPid()});
}

void ScanLock::release(const QString &host)
{
    setHeldHere(m_db.databaseName() + u'\n' + host, false);
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM ScanLock WHERE Host = ? AND Machine = ? AND Pid = ?"));
    q.addBindValue(host);
    q.addBindValue(machine());
    q.addBindValue(QCoreApplication::applicationPid());
    q.exec(); // a lock not released is taken over once its process is gone
}
