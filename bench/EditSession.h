#pragma once

#include "BenchSupport.h"
#include "notes/Form3.h"
#include "notes/outline/OutlineView.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <vector>

namespace quillet {
class Connection;
}

// What the benchmarks of the editing commands share: the notes window over a private copy of a
// generated database, and the steps they take between measurements, with the clock stopped.
namespace quillet::bench {

// The notes window over a private copy of the database of this size. A full outline takes no
// new item, so makeRoom deletes one leaf from the copy before the window opens it.
struct EditSession
{
    EditableCopy copy;
    std::optional<LoadedForm> loaded;

    EditSession(benchmark::State &state, bool makeRoom, bool show);
    EditSession(const EditSession &) = delete;
    EditSession &operator=(const EditSession &) = delete;

    // The window is closed before its file is removed.
    ~EditSession();

    bool ready() const { return loaded.has_value(); }
};

// Runs a step between measurements through the store; false, with the benchmark failed, when
// the store refuses it.
template <class Step>
bool throughStore(benchmark::State &state, Step step)
{
    try {
        step();
        return true;
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return false;
    }
}

// The rows' IDs and expanded flags in ID order, as the outline takes them.
struct StoredFlags
{
    std::vector<std::int64_t> ids;
    std::vector<bool> flags;
};
StoredFlags storedFlags(Connection &db);

// Selects node index (1-based) the way a click on it does: the window takes it as its
// selection and shows its note. True when the window's selection is that node afterwards.
bool clickNode(Form3 &form, int index);

// Lets the window do what it has queued (layout, painting, deletions), as it does while the
// pointer travels to the next button, so that none of it lands in the next measurement.
void settle();

// The first node from the middle of the outline on, wrapping round, that wanted accepts; 0
// when there is none. The middle rather than the start: nothing there is cheaper to reach.
template <class Wanted>
int nodeFromMiddle(const OutlineView &view, Wanted wanted)
{
    const int count = view.count();
    for (int step = 0; step < count; ++step) {
        const int index = (count / 2 + step) % count + 1;
        if (wanted(index))
            return index;
    }
    return 0;
}

} // namespace quillet::bench
