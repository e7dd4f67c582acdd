#pragma once

namespace quillet {

class NoteStore;
class OutlineView;

// Adds one node per row of the outline table to the outline, in ID order, then opens the nodes
// stored as expanded. A row that cannot join the outline stops the loading there with a
// StoreError naming the row's ID and key and the reason; the nodes before it stay, with their
// expanded states.
void loadOutline(NoteStore &store, OutlineView &outline);

} // namespace quillet
