#include "ActivityLog.h"

#include <QFile>
#include <QSaveFile>

ActivityLog::ActivityLog(QObject *parent)
    : QObject(parent)
    , m_clock([] { return QDateTime::currentDateTime(); })
{
}

QString ActivityLog::stampedText(const QString &text, const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return QStringLiteral("%1    %2/%3/%4 %5:%6:%7")
        .arg(text)
        .arg(d.month())
        .arg(d.day())
        .arg(d.year())
        .arg(t.hour())
        .arg(t.minute())
        .arg(t.second());
}

void ActivityLog::LogLine(const QString &text, bool stamped)
{
    const QString line = stamped ? stampedText(text, m_clock()) : text;
    m_lines.append(line);
    if (m_appendFile.isOpen()) {
        m_appendFile.write(line.toUtf8() + "\r\n");
        m_appendFile.flush(); // into the system's hands: survives the program being killed
    }
    emit lineAdded(line);
    // One line per call, so a longer log loaded from file shrinks gradually.
    if (m_lines.size() > MaxLines) {
        m_lines.removeFirst();
        emit firstLineRemoved();
    }
}

bool ActivityLog::loadFromFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = f.readAll();
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (data[i] != '\r' && data[i] != '\n')
            continue;
        lines.append(QString::fromUtf8(data.mid(start, i - start)));
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < data.size())
        lines.append(QString::fromUtf8(data.mid(start)));
    m_lines = lines;
    emit linesReplaced();
    return true;
}

bool ActivityLog::appendTo(const QString &path)
{
    m_appendFile.close();
    m_appendFile.setFileName(path);
    return m_appendFile.open(QIODevice::WriteOnly | QIODevice::Append);
}

bool ActivityLog::saveToFile(const QString &path) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    for (const QString &line : m_lines) {
        f.write(line.toUtf8());
        f.write("\r\n");
    }
    return f.commit();
}
