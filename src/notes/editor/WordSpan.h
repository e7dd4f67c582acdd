#pragma once

#include <QtGlobal>

namespace quillet {

// A word of a note's text: where it starts and how long it is, in UTF-16 units.
struct WordSpan
{
    qsizetype start = 0;
    qsizetype length = 0;
};

} // namespace quillet
