#include "ScanLock.h"
#include "CatalogueError.h"
#include "SqlStatement.h"

#include <QCoreApplication>
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

void ScanLock::ensureTable()
{
    // Run as it is, not prepared: PostgreSQL prepares no CREATE.
    QSqlQuery create(m_db);
    if (!create.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ScanLock (Host TEXT PRIMARY KEY, Machine TEXT, "
                                    "Boot TEXT, Pid BIGINT, Heartbeat TEXT)")))
        throw CatalogueError(create.lastError().text());
}

bool ScanLock::isDead(const Holder &h, const QDateTime &nowUtc)
{
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
    return q.numRowsAffected() == 1;
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
    ensureTable();
    if (insert(host))
        return true;
    QSqlQuery q = SqlStatement::run(
        m_db, QStringLiteral("SELECT Machine, Boot, Pid, Heartbeat FROM ScanLock WHERE Host = ?"), {host});
    if (!q.next())
        return insert(host); // released in between
    const Holder h{q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong(),
                   QDateTime::fromString(q.value(3).toString(), Qt::ISODate).toUTC()};
    q.finish();
    return isDead(h, QDateTime::currentDateTimeUtc()) && takeOver(host, h);
}

void ScanLock::refresh(const QString &host)
{
    SqlStatement::run(m_db, QStringLiteral("UPDATE ScanLock SET Heartbeat = ? WHERE Host = ? AND Machine = ? AND Pid = ?"),
                      {stamp(QDateTime::currentDateTimeUtc()), host, machine(), QCoreApplication::applicationPid()});
}

void ScanLock::release(const QString &host)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM ScanLock WHERE Host = ? AND Machine = ? AND Pid = ?"));
    q.addBindValue(host);
    q.addBindValue(machine());
    q.addBindValue(QCoreApplication::applicationPid());
    q.exec(); // a lock not released is taken over once its process is gone
}
