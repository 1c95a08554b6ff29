#pragma once
#include <atomic>

// Whether a server lists "MLSD /path" as it lists CWD and MLSD, learnt once
// and shared by every connection of a scan to it, whatever thread each runs
// on: one connection tries, the others list the CWD way until it knows.
class PathFormVerdict
{
public:
    // True for the one caller that should try now; the others are told false
    // while a trial runs and once the answer is known.
    bool claim()
    {
        int unknown = Unknown;
        return m_state.compare_exchange_strong(unknown, Trying);
    }
    // The trial's answer, for the rest of the scan.
    void settle(bool lists) { m_state.store(lists ? Yes : No); }
    // The trial could not tell (the connection was lost): the next may try.
    void giveBack()
    {
        int trying = Trying;
        m_state.compare_exchange_strong(trying, Unknown);
    }
    bool isKnown() const { return m_state.load() >= Yes; }
    bool pathFormLists() const { return m_state.load() == Yes; }

private:
    enum { Unknown, Trying, Yes, No };
    std::atomic_int m_state{Unknown};
};
