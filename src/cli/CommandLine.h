#pragma once
#include <QCommandLineParser>
#include <QStringList>

// harvex-cli's arguments: every command's options, the command and its
// arguments, and the usage texts.
class CommandLine
{
public:
    CommandLine();

    // False with errorText() when an option is unknown or lacks its value.
    bool parse(const QStringList &arguments);
    QString errorText() const { return m_parser.errorText(); }
    bool isSet(const QString &name) const { return m_parser.isSet(name); }
    QString value(const QString &name) const { return m_parser.value(name); }
    QStringList values(const QString &name) const { return m_parser.values(name); }
    // The command first, then its arguments.
    const QStringList &arguments() const { return m_arguments; }

    static QString usage();
    // The usage of one command, for "COMMAND --help".
    static QString commandUsage(const QString &command);
    // Says why and how to call harvex-cli on standard error; returns the exit code for it.
    static int usageError(const QString &why);

private:
    QCommandLineParser m_parser;
    QStringList m_arguments;
};
