#pragma once
#include "ScanOptions.h"

#include <QMap>
#include <QSet>
#include <QStringList>

// The Options dialog's edits until OK: the program-wide values and those of
// every host the user looked at, written together or not at all.
class ScanOptionsDraft
{
public:
    // Starts again from what options hold now.
    void load(const ScanOptions &options);

    const ScanOptions::Program &program() const { return m_program; }
    void setProgram(const ScanOptions::Program &p) { m_program = p; }
    // The host's values as edited, else as stored; a forgotten pin reads empty.
    ScanOptions::Host host(const QString &hostText) const;
    void setHost(const QString &hostText, const ScanOptions::Host &h);
    void forget(const QString &hostText);

    // Writes every edit; returns the hosts whose code page changed, for
    // their stored names to be decoded again.
    QStringList apply(ScanOptions &options) const;

private:
    const ScanOptions *m_options = nullptr;
    ScanOptions::Program m_program;
    QMap<QString, ScanOptions::Host> m_hosts; // by ScanOptions::hostKey
    QSet<QString> m_forgotten;
};
