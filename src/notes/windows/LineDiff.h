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

// A text's lines, each with the line break that ends it (CR LF, CR, LF or a paragraph
// separator, as the editor starts a line at), the last one without when the text does not end
// in one. A text ending in a line break has no empty line after it; an empty text has none.
QStringList linesWithBreaks(const QString &text);

// The difference from before to after as the history window shows it: a row per line, marked
// "  " same, "- " only before, "+ " only after, without its line break. Lines are compared with
// their breaks; when only one text ends in a line break, its last line is marked apart from the
// other's, and the one without is followed by a row saying so.
QString differenceText(const QString &before, const QString &after);

} // namespace quillet
