#include "LikeMatch.h"

namespace {
const char *nextCharacter(const char *at, const char *end)
{
    ++at;
    while (at < end && (static_cast<unsigned char>(*at) & 0xC0) == 0x80)
        ++at;
    return at;
}
} // namespace

// The last "%" met is the only one ever gone back to: a later match of what
// follows it can only help, so backtracking further never finds more.
bool LikeMatch::matches(QByteArrayView pattern, QByteArrayView text)
{
    const char *p = pattern.data(), *pEnd = p + pattern.size();
    const char *s = text.data(), *sEnd = s + text.size();
    const char *afterPercent = nullptr, *resume = nullptr;
    while (s < sEnd) {
        if (p < pEnd && *p == '%') {
            afterPercent = ++p;
            resume = s;
        } else if (p < pEnd && *p == '_') {
            ++p;
            s = nextCharacter(s, sEnd);
        } else if (p < pEnd && *p == *s) {
            ++p, ++s;
        } else if (afterPercent) {
            p = afterPercent;
            s = resume = nextCharacter(resume, sEnd);
        } else {
            return false;
        }
    }
    while (p < pEnd && *p == '%')
        ++p;
    return p == pEnd;
}
