#pragma once

namespace quillet::bench {

// Typing in the editor and showing a note of 1 MB held in one line (a pasted log, a data dump),
// each against the same text in lines of 80 characters: argument 0 is the one line, 80 the
// lines. The keystroke also runs on an ordinary note of about 1 KB (argument 1).
void registerLongLineBenchmarks();

} // namespace quillet::bench
