#pragma once
#include <QtGlobal>

// Where every record ID comes from: a sequence seeded by the clock, so that
// writers started at different moments draw different IDs. A drawn ID may be
// taken already; whoever stores it asks the table and draws again.
class IdDraw
{
public:
    IdDraw() : m_state(clockSeed()) {}
    explicit IdDraw(quint32 seed) : m_state(seed) {}

    // The next ID of the sequence; never 0, the root marker.
    qint32 next()
    {
        qint32 id;
        do
            id = draw(m_state);
        while (id == 0);
        return id;
    }

    // One step: stored catalogues hold IDs of this sequence, 0 included
    // among its values (skipped by next()).
    static qint32 draw(quint32 &state);
    static quint32 clockSeed();

private:
    quint32 m_state;
};
