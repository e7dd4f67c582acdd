#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::dbtool {

struct Stats
{
    std::int64_t items = 0;   // rows of mynodes
    std::int64_t leftOut = 0; // rows the outline leaves out
    int depth = 0;            // the deepest level
    std::int64_t noteBytes = 0;
    std::int64_t largestNoteBytes = 0;
    std::int64_t largestNoteId = 0;
    std::string largestNoteKey, largestNoteTitle;
    std::vector<std::int64_t> itemsPerLevel; // [0] is level 1
};

// Counts the database's items and the size of its notes. Throws StoreError.
Stats statsOf(const std::string &path);

} // namespace quillet::dbtool
