#include "notes/windows/LineDiff.h"

#include <QObject>

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

namespace {

// The characters the editor starts a new line at.
bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

bool endsInLineBreak(const QString &text)
{
    return !text.isEmpty() && isLineBreak(text.back());
}

QString withoutLineBreak(QString line)
{
    while (!line.isEmpty() && isLineBreak(line.back()))
        line.chop(1);
    return line;
}

} // namespace

QStringList linesWithBreaks(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isLineBreak(text[i]))
            continue;
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        lines << text.mid(start, i + 1 - start);
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

QString differenceText(const QString &before, const QString &after)
{
    const QStringList beforeLines = linesWithBreaks(before);
    const QStringList afterLines = linesWithBreaks(after);
    // Where only one text ends in a line break, the other's last line differs by that alone
    // perhaps: it is said, or the two would look the same.
    const bool endingsDiffer = endsInLineBreak(before) != endsInLineBreak(after);
    const qsizetype beforeUnended =
        endingsDiffer && !endsInLineBreak(before) ? beforeLines.size() - 1 : qsizetype(-1);
    const qsizetype afterUnended =
        endingsDiffer && !endsInLineBreak(after) ? afterLines.size() - 1 : qsizetype(-1);
    QString shown;
    qsizetype inBefore = 0;
    qsizetype inAfter = 0;
    for (const DiffLine &line : lineDiff(beforeLines, afterLines)) {
        const char *mark = line.kind == DiffLine::Kind::Removed ? "- "
                           : line.kind == DiffLine::Kind::Added ? "+ "
                                                                : "  ";
        shown += QLatin1String(mark) + withoutLineBreak(line.text) + QLatin1Char('\n');
        bool unended = false;
        if (line.kind != DiffLine::Kind::Added)
            unended = inBefore++ == beforeUnended;
        if (line.kind != DiffLine::Kind::Removed)
            unended = inAfter++ == afterUnended || unended;
        if (unended)
            shown += QObject::tr("\\ (no line break at the end)") + QLatin1Char('\n');
    }
    return shown;
}

} // namespace quillet
