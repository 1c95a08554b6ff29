#include "NetrcFile.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// The words of the file, with double-quoted words (as curl writes them, with
// backslash escapes) read as one. A comment runs to the end of its line.
class Words
{
public:
    explicit Words(const QByteArray &text) : m_text(text) {}

    bool next(QByteArray &word)
    {
        skipBlanks();
        if (m_at >= m_text.size())
            return false;
        word.clear();
        if (m_text[m_at] == '"')
            readQuoted(word);
        else
            while (m_at < m_text.size() && !isBlank(m_text[m_at]))
                word += m_text[m_at++];
        return true;
    }

    // A macro's body runs to the first empty line.
    void skipMacro()
    {
        const qsizetype end = m_text.indexOf("\n\n", m_at);
        m_at = end < 0 ? m_text.size() : end + 2;
    }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    void skipBlanks()
    {
        while (m_at < m_text.size()) {
            if (m_text[m_at] == '#') {
                const qsizetype end = m_text.indexOf('\n', m_at);
                m_at = end < 0 ? m_text.size() : end;
            } else if (isBlank(m_text[m_at])) {
                ++m_at;
            } else {
                return;
            }
        }
    }

    void readQuoted(QByteArray &word)
    {
        for (++m_at; m_at < m_text.size() && m_text[m_at] != '"'; ++m_at) {
            if (m_text[m_at] == '\\' && m_at + 1 < m_text.size())
                ++m_at;
            word += m_text[m_at];
        }
        ++m_at;
    }

    const QByteArray &m_text;
    qsizetype m_at = 0;
};

struct Entry
{
    bool any = false; // the "default" entry
    QByteArray machine, login, password;
};

bool fits(const Entry &e, const QByteArray &host, const QByteArray &user)
{
    return (e.any || e.machine.compare(host, Qt::CaseInsensitive) == 0) && (user.isEmpty() || e.login == user);
}

QList<Entry> readEntries(const QByteArray &text)
{
    Words words(text);
    QList<Entry> entries;
    QByteArray word, value;
    while (words.next(word)) {
        if (word == "machine" || word == "default") {
            entries.append(Entry{word == "default", {}, {}, {}});
            if (!entries.last().any && words.next(value))
                entries.last().machine = value;
        } else if (word == "macdef") {
            words.next(value);
            words.skipMacro();
        } else if (!entries.isEmpty() && (word == "login" || word == "password" || word == "account")
                   && words.next(value)) {
            if (word == "login")
                entries.last().login = value;
            else if (word == "password")
                entries.last().password = value;
        }
    }
    return entries;
}

// Others who can read the file can read its passwords: ftp refuses such a file too.
bool readableByOthers(const QString &path)
{
    const QFile::Permissions p = QFileInfo(path).permissions();
    return p & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther);
}
} // namespace

QString NetrcFile::defaultPath()
{
    return QDir::home().filePath(QStringLiteral(".netrc"));
}

std::optional<NetrcFile::Logon> NetrcFile::find(const QString &path, const QString &host, const QString &user,
                                                QString &error)
{
    error.clear();
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    std::optional<Logon> logon = findIn(file.readAll(), host, user);
    if (logon && !logon->password.isEmpty() && readableByOthers(path)) {
        error = QStringLiteral("%1 can be read by others; its passwords are not used until it is readable by you "
                               "alone (chmod 600 %1)")
                    .arg(path);
        return std::nullopt;
    }
    return logon;
}

// A machine's own entry wins over the default one, wherever each stands.
std::optional<NetrcFile::Logon> NetrcFile::findIn(const QByteArray &text, const QString &host, const QString &user)
{
    const QList<Entry> entries = readEntries(text);
    for (const bool any : {false, true})
        for (const Entry &e : entries)
            if (e.any == any && fits(e, host.toUtf8(), user.toUtf8()))
                return Logon{QString::fromUtf8(e.login), QString::fromUtf8(e.password)};
    return std::nullopt;
}
