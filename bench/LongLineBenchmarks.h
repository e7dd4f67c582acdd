#pragma once

#include "BenchSupport.h"
#include "support/NotesControls.h"

#include <benchmark/benchmark.h>

#include <functional>

namespace quillet::bench {

// Typing in the editor and showing a note of 1 MB held in one line (a pasted log, a data dump),
// each against the same text in lines of 80 characters: argument 0 is the one line, 80 the
// lines. The keystroke also runs on an ordinary note of about 1 KB (argument 1).
void registerLongLineBenchmarks();

// The items of the long-line benchmarks' outline by the shape of their note.
inline constexpr int kOneLineItem = 1;
inline constexpr int kLinesItem = 2;
inline constexpr int kOrdinaryItem = 3;
inline constexpr int kSmallNoteItem = 4;

// The notes window over the long-line benchmarks' outline (made once, shared by the benchmarks
// that measure the same notes with and without other work).
struct ShownNote
{
    LoadedForm loaded;
    test::NotesControls ui;

    ShownNote();
    // Shows and paints the window with the item's note, the cursor in its middle and the note
    // scrolled to it.
    bool show(benchmark::State &state, int item);
};

// The item whose note a benchmark's argument names: 0 the one line, 80 the lines, else the
// ordinary note.
int longLineItemOf(const benchmark::State &state);

// The timed loop of a keystroke in the shown note: one key typed, as the keyboard sends it, and
// the editor painted.
void typeKeys(benchmark::State &state, ShownNote &shown);

// The timed loop of showing the argument's note: the item clicked, its note read, put in the
// editor and painted, from the small note shown before it with the clock stopped. afterShowing,
// when given, runs after each note is painted, and the editor is painted again.
void showFromSmallNote(benchmark::State &state, ShownNote &shown,
                       const std::function<void()> &afterShowing = {});

} // namespace quillet::bench
