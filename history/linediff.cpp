// SPDX-License-Identifier: MIT
#include "history/linediff.h"

#include <algorithm>
#include <vector>

namespace LineDiff {

QStringList lines(QStringView text) {
    QStringList out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(u'\n', from);
        if (at < 0) {
            out.append(text.mid(from).toString());
            return out;
        }
        out.append(text.mid(from, at - from).toString());
        from = at + 1;
    }
}

namespace {

// Steps kept to trace the script back: some 1,400 differing lines, 16 MB.
constexpr qint64 TraceLimit = qint64(1) << 21;

Marks everything(qsizetype oldCount, qsizetype newCount) {
    Marks marks;
    marks.onlyInOld = QList<bool>(oldCount, true);
    marks.onlyInNew = QList<bool>(newCount, true);
    marks.exact = false;
    return marks;
}

} // namespace

Marks compare(const QStringList& oldLines, const QStringList& newLines, qint64 bound) {
    Marks marks;
    marks.onlyInOld = QList<bool>(oldLines.size(), false);
    marks.onlyInNew = QList<bool>(newLines.size(), false);

    // Most versions differ in one place: the common ends cost one pass and no script.
    qsizetype head = 0;
    while (head < oldLines.size() && head < newLines.size() && oldLines[head] == newLines[head])
        ++head;
    qsizetype tail = 0;
    while (tail < oldLines.size() - head && tail < newLines.size() - head &&
           oldLines[oldLines.size() - 1 - tail] == newLines[newLines.size() - 1 - tail])
        ++tail;
    const qsizetype n = oldLines.size() - head - tail;
    const qsizetype m = newLines.size() - head - tail;
    if (n == 0 || m == 0) {
        std::fill(marks.onlyInOld.begin() + head, marks.onlyInOld.begin() + head + n, true);
        std::fill(marks.onlyInNew.begin() + head, marks.onlyInNew.begin() + head + m, true);
        return marks;
    }

    const QString* a = oldLines.constData() + head;
    const QString* b = newLines.constData() + head;

    // v[k + offset]: the furthest x reached on diagonal k = x - y, -1 where none is. Each step d
    // keeps the slice of v it read, diagonals -d-1 to d+1, to trace the script back.
    const qsizetype offset = n + m + 1;
    std::vector<qsizetype> v(static_cast<size_t>(2 * offset + 1), -1);
    // Where step d enters diagonal k, and from which diagonal: a line of the new text (down) or of
    // the old (right), whichever reaches further; never past the end of either text.
    const auto enter = [n, m](qsizetype d, qsizetype k,
                              auto&& before) -> std::pair<qsizetype, qsizetype> {
        if (d == 0)
            return {0, 0};
        const qsizetype down = before(k + 1);
        const qsizetype right = before(k - 1);
        const bool downOk = down >= 0 && down - k <= m;
        const bool rightOk = right >= 0 && right + 1 <= n;
        if (downOk && (!rightOk || down >= right + 1))
            return {down, k + 1};
        if (rightOk)
            return {right + 1, k - 1};
        return {-1, 0};
    };
    std::vector<std::vector<qsizetype>> trace;
    trace.reserve(64);
    qint64 work = 0;
    qint64 traced = 0;
    bool found = false;
    for (qsizetype d = 0; d <= n + m && !found; ++d) {
        trace.emplace_back(v.begin() + (offset - d - 1), v.begin() + (offset + d + 2));
        const std::vector<qsizetype>& before = trace.back();
        const auto was = [&before, d](qsizetype k) {
            return before[static_cast<size_t>(k + d + 1)];
        };
        work += 2 * d + 3;
        traced += 2 * d + 3;
        for (qsizetype k = -d; k <= d; k += 2) {
            qsizetype x = enter(d, k, was).first;
            if (x < 0) {
                v[offset + k] = -1;
                continue;
            }
            const qsizetype start = x;
            qsizetype y = x - k;
            while (x < n && y < m && a[x] == b[y]) {
                ++x;
                ++y;
            }
            work += 1 + (x - start);
            v[offset + k] = x;
            if (x == n && y == m) {
                found = true;
                break;
            }
        }
        if (work > bound || traced > TraceLimit)
            return everything(oldLines.size(), newLines.size());
    }

    qsizetype x = n, y = m;
    for (qsizetype d = qsizetype(trace.size()) - 1; d > 0; --d) {
        const std::vector<qsizetype>& before = trace[static_cast<size_t>(d)];
        const auto was = [&before, d](qsizetype k) {
            return before[static_cast<size_t>(k + d + 1)];
        };
        const qsizetype k = x - y;
        const auto [entered, fromK] = enter(d, k, was);
        const qsizetype previousX = was(fromK);
        const qsizetype previousY = previousX - fromK;
        if (fromK == k + 1)
            marks.onlyInNew[head + previousY] = true;
        else
            marks.onlyInOld[head + previousX] = true;
        x = previousX;
        y = previousY;
        (void)entered;
    }
    return marks;
}

} // namespace LineDiff
