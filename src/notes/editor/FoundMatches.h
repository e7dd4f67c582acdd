#pragma once

#include "notes/editor/WordSpan.h"

#include <QString>

#include <vector>

namespace quillet {

class TextMatch;

// Every match of what is looked for in a note's text as the editor shows it, by the search's
// own rule (TextMatch), as positions in that text: in order, none overlapping the one before.
std::vector<WordSpan> matchesIn(const QString &text, const TextMatch &match);

} // namespace quillet
