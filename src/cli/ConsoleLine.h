#pragma once
#include <QString>
#include <cstdio>

// One line of text on standard output or standard error, in the terminal's
// own encoding, as every message of harvex-cli has been written.
class ConsoleLine
{
public:
    static void out(const QString &text) { std::fprintf(stdout, "%s\n", qPrintable(text)); }
    static void err(const QString &text) { std::fprintf(stderr, "%s\n", qPrintable(text)); }
};
