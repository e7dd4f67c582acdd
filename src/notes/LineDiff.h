#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace quillet {

// One line of a difference between two texts.
struct DiffLine
{
    enum class Kind { Same, Removed, Added };
    Kind kind = Kind::Same;
    QString text;
};

// The lines of before and after, in order, each marked as in both, only in before (removed)
// or only in after (added): a longest common run of lines. Texts too long to compare line by
// line against each other are compared by their common first and last lines, the rest marked
// removed and added.
std::vector<DiffLine> lineDiff(const QStringList &before, const QStringList &after);

} // namespace quillet
