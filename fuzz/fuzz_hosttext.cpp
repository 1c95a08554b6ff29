// Any text typed as a host: "host", "host:port", "[v6]:port", bare IPv6.
#include "core/ftp/FtpLogon.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const FtpLogon l = FtpLogon::fromHostText(text);
    // What comes out was typed in: never longer than the text.
    if (l.host.size() > text.size())
        std::abort();
    return 0;
}
