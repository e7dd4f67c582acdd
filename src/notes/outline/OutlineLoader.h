#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

class NotesSession;
class OutlineView;

// A row of the outline table that could not join the outline.
struct SkippedRow
{
    std::int64_t id = 0;
    std::string key; // without surrounding spaces
    std::string reason;
};

// Adds one node per row of the outline table to the outline, in ID order, then opens the nodes
// stored as expanded. A row that cannot join the outline is left out with its descendants, and
// every later sound row still joins; the rows left out are returned in ID order. Throws
// StoreError when the table cannot be read.
std::vector<SkippedRow> loadOutline(NotesSession &session, OutlineView &outline);

} // namespace quillet
