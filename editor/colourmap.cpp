// SPDX-License-Identifier: MIT
#include "editor/colourmap.h"

#include <algorithm>

quint32 ColourMap::colourAt(int position) const {
    if (position < 0 || position >= m_length || m_segments.empty())
        return Colours::Default;
    return m_segments[segmentIndexAt(position)].colour;
}

std::size_t ColourMap::segmentIndexAt(int position) const {
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), position,
                               [](int pos, const Segment& s) { return pos < s.start; });
    return std::size_t(it - m_segments.begin()) - 1;
}

void ColourMap::assign(int length, const QList<ColourRun>& runs) {
    m_length = std::max(0, length);
    m_segments.clear();
    // With room for the segments edits add, so that typing never moves the whole map.
    const std::size_t most = std::size_t(runs.size()) * 2 + 1;
    m_segments.reserve(most + most / 8 + 64);
    if (m_length == 0)
        return;
    m_segments.push_back({0, Colours::Default});
    for (const ColourRun& run : runs) {
        const int start = std::clamp(run.start, 0, m_length);
        const int end = std::clamp(run.start + run.length, start, m_length);
        if (start == end)
            continue;
        if (m_segments.back().start == start)
            m_segments.back().colour = run.colour;
        else
            m_segments.push_back({start, run.colour});
        if (end < m_length)
            m_segments.push_back({end, Colours::Default});
    }
    normalise();
}

void ColourMap::setRange(int start, int length, quint32 colour) {
    start = std::clamp(start, 0, m_length);
    const int end = std::clamp(start + std::max(0, length), start, m_length);
    if (start == end)
        return;
    const quint32 after = end < m_length ? colourAt(end) : Colours::Default;
    auto first = std::lower_bound(m_segments.begin(), m_segments.end(), start,
                                  [](const Segment& s, int pos) { return s.start < pos; });
    auto last = std::lower_bound(first, m_segments.end(), end + 1,
                                 [](const Segment& s, int pos) { return s.start < pos; });
    first = m_segments.erase(first, last);
    Segment inserted[2] = {{start, colour}, {end, after}};
    m_segments.insert(first, inserted, inserted + (end < m_length ? 2 : 1));
    normalise();
}

std::pair<int, int> ColourMap::replace(int start, int length, const QList<ColourRun>& runs) {
    start = std::clamp(start, 0, m_length);
    const int end = std::clamp(start + std::max(0, length), start, m_length);
    if (start == end)
        return {start, start};
    const quint32 after = end < m_length ? colourAt(end) : Colours::Default;
    std::vector<Segment> inside;
    inside.reserve(std::size_t(runs.size()) * 2 + 2);
    inside.push_back({start, Colours::Default});
    for (const ColourRun& run : runs) {
        const int from = std::clamp(run.start, start, end);
        const int to = std::clamp(run.start + run.length, from, end);
        if (from == to)
            continue;
        if (inside.back().start == from)
            inside.back().colour = run.colour;
        else
            inside.push_back({from, run.colour});
        if (to < end)
            inside.push_back({to, Colours::Default});
    }
    const std::pair<int, int> changed = differences(start, end, inside);
    if (changed.first >= changed.second)
        return changed;
    if (end < m_length)
        inside.push_back({end, after});
    auto first = std::lower_bound(m_segments.begin(), m_segments.end(), start,
                                  [](const Segment& s, int pos) { return s.start < pos; });
    auto last = std::lower_bound(first, m_segments.end(), end + 1,
                                 [](const Segment& s, int pos) { return s.start < pos; });
    const std::size_t at = std::size_t(first - m_segments.begin());
    const std::size_t replaced = std::size_t(last - first);
    if (replaced >= inside.size()) {
        std::copy(inside.begin(), inside.end(), first);
        m_segments.erase(first + std::ptrdiff_t(inside.size()), last);
    } else {
        std::copy(inside.begin(), inside.begin() + std::ptrdiff_t(replaced), first);
        m_segments.insert(last, inside.begin() + std::ptrdiff_t(replaced), inside.end());
    }
    mergeAround(at, at + inside.size() + 1);
    return changed;
}

std::pair<int, int> ColourMap::differences(int start, int end,
                                           const std::vector<Segment>& inside) const {
    // Both are walked piece by piece; a key press recolours a line or two, whose colours mostly
    // come back as they were.
    int from = end, to = start;
    std::size_t i = segmentIndexAt(start), j = 0;
    for (int at = start; at < end && i < m_segments.size() && j < inside.size();) {
        const int oldEnd = i + 1 < m_segments.size() ? std::min(m_segments[i + 1].start, end) : end;
        const int newEnd = j + 1 < inside.size() ? std::min(inside[j + 1].start, end) : end;
        const int stop = std::max(at, std::min(oldEnd, newEnd));
        if (stop > at && m_segments[i].colour != inside[j].colour) {
            from = std::min(from, at);
            to = stop;
        }
        at = stop;
        if (at >= oldEnd)
            ++i;
        if (at >= newEnd)
            ++j;
    }
    return {from, to};
}

void ColourMap::mergeAround(std::size_t from, std::size_t to) {
    to = std::min(to, m_segments.size());
    std::size_t out = std::max<std::size_t>(from, 1);
    for (std::size_t i = out; i < to; ++i) {
        if (m_segments[i].colour != m_segments[out - 1].colour)
            m_segments[out++] = m_segments[i];
    }
    if (out < to)
        m_segments.erase(m_segments.begin() + std::ptrdiff_t(out),
                         m_segments.begin() + std::ptrdiff_t(to));
}

void ColourMap::applyEdit(int position, int removed, int added, quint32 colourAtStart) {
    position = std::clamp(position, 0, m_length);
    removed = std::clamp(removed, 0, m_length - position);
    added = std::max(0, added);
    const quint32 newColour = position > 0 ? colourAt(position - 1) : colourAtStart;
    const auto startingAt = [this](int at) {
        return std::lower_bound(m_segments.begin(), m_segments.end(), at,
                                [](const Segment& s, int pos) { return s.start < pos; });
    };

    if (removed > 0) {
        const int end = position + removed;
        const quint32 afterRemoved = end < m_length ? colourAt(end) : Colours::Default;
        auto first = startingAt(position);
        auto last = std::lower_bound(first, m_segments.end(), end + 1,
                                     [](const Segment& s, int pos) { return s.start < pos; });
        first = m_segments.erase(first, last);
        for (auto it = first; it != m_segments.end(); ++it)
            it->start -= removed;
        m_length -= removed;
        if (position < m_length)
            m_segments.insert(first, {position, afterRemoved});
    }
    if (added > 0) {
        auto at = startingAt(position);
        for (auto it = at; it != m_segments.end(); ++it)
            it->start += added;
        m_length += added;
        // Elsewhere the inserted characters belong to the segment before them already.
        if (position == 0)
            m_segments.insert(m_segments.begin(), {0, newColour});
    }
    // Only the segments at the edit can have met one of their own colour: the map is not copied
    // for a key press.
    const std::size_t at = std::size_t(startingAt(position) - m_segments.begin());
    mergeAround(at, at + 2);
}

QList<ColourRun> ColourMap::runsIn(int start, int length) const {
    QList<ColourRun> runs;
    start = std::clamp(start, 0, m_length);
    const int end = std::clamp(start + std::max(0, length), start, m_length);
    if (start == end || m_segments.empty())
        return runs;
    for (std::size_t i = segmentIndexAt(start); i < m_segments.size(); ++i) {
        const int segStart = std::max(m_segments[i].start, start);
        if (segStart >= end)
            break;
        const int segEnd =
            std::min(i + 1 < m_segments.size() ? m_segments[i + 1].start : m_length, end);
        if (m_segments[i].colour != Colours::Default)
            runs.append({segStart, segEnd - segStart, m_segments[i].colour});
    }
    return runs;
}

void ColourMap::normalise() {
    // Drop empty segments and merge neighbours of one colour; keep the first at 0. In place: a
    // new vector would have no room to spare, and the next edit's insert would move the whole map
    // into fresh pages, a few milliseconds for a large text's.
    std::size_t out = 0;
    for (std::size_t i = 0; i < m_segments.size(); ++i) {
        const Segment s = m_segments[i];
        if (s.start >= m_length)
            break;
        const int next = i + 1 < m_segments.size() ? m_segments[i + 1].start : m_length;
        if (next <= s.start)
            continue;
        if (out > 0 && m_segments[out - 1].colour == s.colour)
            continue;
        m_segments[out++] = s;
    }
    m_segments.resize(out);
    if (!m_segments.empty())
        m_segments.front().start = 0;
    else if (m_length > 0)
        m_segments.push_back({0, Colours::Default});
}
