#pragma once

#include "store/MovePlan.h"

#include <string>

namespace quillet {

class NoteHistory;
class NoteStore;

// Moves in the notes database, with the notes' earlier versions following their rows.
namespace moving {

// Moves the item with the key, with every row below it, to the place (see moves::plan), in
// one transaction; the rows that take new IDs take their versions along (see
// NoteHistory::beginRenumbering). Returns what was done, to undo it. Throws moves::MoveRefused
// with the reason, or StoreError, having changed nothing.
moves::Plan move(NoteStore &store, NoteHistory &history, const std::string &key,
                 const moves::Place &place);

// Applies a plan worked out before (an undo's), the same way.
void apply(NoteStore &store, NoteHistory &history, const moves::Plan &plan);

} // namespace moving
} // namespace quillet
