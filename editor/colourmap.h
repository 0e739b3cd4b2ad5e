// SPDX-License-Identifier: MIT
#pragma once

#include "editor/colours.h"

#include <QList>
#include <utility>
#include <vector>

// The colour of every character of a text, kept as runs so that colouring a large text and
// shifting colours on an edit stay cheap. Positions are character offsets from 0.
class ColourMap {
public:
    // Stands for "as the last colouring gives it": worked out from the line's own text when asked,
    // so a colouring costs nothing per character and colour memory follows what is looked at.
    static constexpr quint32 Derived = 0xFFFFFFFFu;

    int length() const { return m_length; }
    quint32 colourAt(int position) const;

    // Every character default, then the runs (sorted, non-overlapping) on top.
    void assign(int length, const QList<ColourRun>& runs);
    void setRange(int start, int length, quint32 colour);
    // [start, start + length) default, then the runs (sorted, non-overlapping) on top, clipped to
    // it; the rest stays. Costs what the runs do, not the whole map. Returns [from, to), the part
    // whose colours changed (from >= to: none), so that only that part is painted again.
    std::pair<int, int> replace(int start, int length, const QList<ColourRun>& runs);

    // An edit replaced `removed` characters at `position` with `added` new ones. New characters
    // take the colour of the character before them, or `colourAtStart` at position 0.
    void applyEdit(int position, int removed, int added, quint32 colourAtStart = Colours::Default);

    // The runs that meet [start, start + length), clipped to it, default-coloured ones left out.
    QList<ColourRun> runsIn(int start, int length) const;

private:
    struct Segment {
        int start;
        quint32 colour;
    };
    std::size_t segmentIndexAt(int position) const;
    void normalise();
    // Merges neighbours of one colour among segments [from, to), and with the one before.
    void mergeAround(std::size_t from, std::size_t to);
    // Where `inside`, the segments a replace of [start, end) would put there, colours unlike the
    // map: [from, to), empty when nowhere.
    std::pair<int, int> differences(int start, int end, const std::vector<Segment>& inside) const;

    std::vector<Segment> m_segments; // sorted by start; the first starts at 0 when non-empty
    int m_length = 0;
};
