#include "ScanRun.h"

#include <array>

namespace {
struct Named
{
    ScanRun::Result result;
    const char *text;
};
constexpr std::array<Named, 7> Names{{{ScanRun::Result::Complete, "complete"},
                                      {ScanRun::Result::Cancelled, "cancelled"},
                                      {ScanRun::Result::LostConnection, "lost connection"},
                                      {ScanRun::Result::Refused, "refused"},
                                      {ScanRun::Result::LogonRefused, "log-on refused"},
                                      {ScanRun::Result::TlsRefused, "TLS refused"},
                                      {ScanRun::Result::Unreachable, "unreachable"}}};
} // namespace

QString ScanRun::resultText(Result r)
{
    for (const Named &n : Names)
        if (n.result == r)
            return QString::fromLatin1(n.text);
    return QString();
}

ScanRun::Result ScanRun::resultFrom(const QString &text)
{
    for (const Named &n : Names)
        if (text == QLatin1String(n.text))
            return n.result;
    return Result::Unknown;
}
