#include "notes/LineDiff.h"

#include <algorithm>

namespace quillet {

std::vector<DiffLine> lineDiff(const QStringList &before, const QStringList &after)
{
    // The lines both texts start and end with need no comparing.
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const qsizetype n = before.size() - head - tail;
    const qsizetype m = after.size() - head - tail;

    std::vector<DiffLine> lines;
    for (qsizetype i = 0; i < head; ++i)
        lines.push_back({DiffLine::Kind::Same, before[i]});
    // A table of common-run lengths over what remains, when it is small enough to hold; past
    // that, the middle is shown as removed, then added.
    constexpr qsizetype kMostCells = 4'000'000;
    if (n > 0 && m > 0 && n * m <= kMostCells) {
        std::vector<std::uint32_t> run(static_cast<std::size_t>((n + 1) * (m + 1)), 0);
        const auto at = [&](qsizetype i, qsizetype j) -> std::uint32_t & {
            return run[static_cast<std::size_t>(i * (m + 1) + j)];
        };
        for (qsizetype i = n - 1; i >= 0; --i)
            for (qsizetype j = m - 1; j >= 0; --j)
                at(i, j) = before[head + i] == after[head + j]
                               ? at(i + 1, j + 1) + 1
                               : std::max(at(i + 1, j), at(i, j + 1));
        qsizetype i = 0;
        qsizetype j = 0;
        while (i < n && j < m) {
            if (before[head + i] == after[head + j]) {
                lines.push_back({DiffLine::Kind::Same, before[head + i]});
                ++i;
                ++j;
            } else if (at(i + 1, j) >= at(i, j + 1)) {
                lines.push_back({DiffLine::Kind::Removed, before[head + i++]});
            } else {
                lines.push_back({DiffLine::Kind::Added, after[head + j++]});
            }
        }
        for (; i < n; ++i)
            lines.push_back({DiffLine::Kind::Removed, before[head + i]});
        for (; j < m; ++j)
            lines.push_back({DiffLine::Kind::Added, after[head + j]});
    } else {
        for (qsizetype i = 0; i < n; ++i)
            lines.push_back({DiffLine::Kind::Removed, before[head + i]});
        for (qsizetype j = 0; j < m; ++j)
            lines.push_back({DiffLine::Kind::Added, after[head + j]});
    }
    for (qsizetype i = before.size() - tail; i < before.size(); ++i)
        lines.push_back({DiffLine::Kind::Same, before[i]});
    return lines;
}

} // namespace quillet
