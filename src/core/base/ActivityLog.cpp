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
    appendToFile(line);
    emit lineAdded(line);
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
    if (lines.size() > MaxLines) // written by a program that bounded it only at exit
        lines.remove(0, lines.size() - MaxLines);
    m_lines = lines;
    emit linesReplaced();
    return true;
}

bool ActivityLog::appendTo(const QString &path)
{
    m_appendFile.close();
    m_appendFile.setFileName(path);
    m_fileLines = 0;
    if (QFile f(path); f.open(QIODevice::ReadOnly)) {
        const QByteArray data = f.readAll();
        m_fileLines = int(data.count('\n') + (data.isEmpty() || data.endsWith('\n') ? 0 : 1));
    }
    if (m_fileLines > MaxLines && !rewriteFile())
        return false;
    return m_appendFile.isOpen() || m_appendFile.open(QIODevice::WriteOnly | QIODevice::Append);
}

void ActivityLog::appendToFile(const QString &line)
{
    if (!m_appendFile.isOpen())
        return;
    if (m_fileLines >= MaxLines) {
        rewriteFile(); // holds the new line already
        return;
    }
    m_appendFile.write(line.toUtf8() + "\r\n");
    m_appendFile.flush(); // into the system's hands: survives the program being killed
    ++m_fileLines;
}

// A failed rewrite leaves the old file whole and stops the appending: the
// file must not pass its bound; saveToFile() at exit reports the failure.
bool ActivityLog::rewriteFile()
{
    const QString path = m_appendFile.fileName();
    m_appendFile.close();
    QSaveFile f(path);
    const qsizetype from = qMax<qsizetype>(0, m_lines.size() - KeptOnRewrite);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    for (qsizetype i = from; i < m_lines.size(); ++i)
        f.write(m_lines[i].toUtf8() + "\r\n");
    if (!f.commit())
        return false;
    m_fileLines = int(m_lines.size() - from);
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
