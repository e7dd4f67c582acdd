#pragma once

#include "TransferBenchmarks.h"

#include <optional>
#include <string>

namespace quillet::bench {

// Spelling as the notes window runs it, over the long-line benchmarks' notes, each benchmark
// with the window's own speller loaded as the program loads it after its first frame, and its
// first pass done:
//   TypeInNoteSpelling/0, /80, /1   the keystroke of TypeInNote with checking on
//   SpellingPass/0, /80             one checking pass (EditorSpelling::checkNow) over the screenful
//                                   in the middle of the note
//   ShowLongNoteSpelling/0, /80     ShowLongNote, each note then checked and painted again
// The choice (checking on, English for Latin script; Greek words always with Greek) is kept in
// a configuration folder made under folder, which must outlive the run, and XDG_CONFIG_HOME
// points there for this process and the processes it starts: the user's own choice and word
// list never change a figure.
void registerSpellingBenchmarks(const std::string &folder);

// Run as "quillet-bench --spelling-rss-measure PATH" (the fresh process that --spelling-rss
// starts): the main window started on PATH and painted, then spelling loaded; prints the peak
// resident memory before and after the loading, and exits 1 when either failed.
int measureSpellingInThisProcess(int argc, char **argv);

// Peak resident memory of a fresh start-up, in kilobytes: before spelling is loaded, and once
// both dictionaries are loaded and the first pass is done.
struct SpellingRss
{
    long startupKb = 0;
    long loadedKb = 0;
};
std::optional<SpellingRss> measureSpellingRss(const std::string &path);

// Prints the spelling figures against checking off, and the peak memory at items, with their
// targets.
void printSpellingTargets(const TimingOf &timing, const std::optional<SpellingRss> &rss, int items);

} // namespace quillet::bench
