#pragma once

#include "store/MovePlan.h"
#include "store/NoteStore.h"

#include <cstdint>
#include <vector>

namespace quillet {

// What a change of the notes did to the outline's rows, for an outline on the screen to follow
// it in place rather than load every row again: the rows that took another ID or key (a move,
// its undo), the rows put in (a restore, an undo of a delete) and the rows taken out.
struct OutlineChange
{
    std::vector<moves::RowChange> changed; // in the order of their new IDs
    std::vector<OutlineRow> added;         // the outline's columns as stored, in ID order
    std::vector<std::int64_t> removed;     // the IDs of the rows taken out, with their subtrees

    // The rows put in, as a restore reads them back from the store.
    static OutlineChange addedRows(std::vector<OutlineRow> rows)
    {
        OutlineChange change;
        change.added = std::move(rows);
        return change;
    }
};

} // namespace quillet
