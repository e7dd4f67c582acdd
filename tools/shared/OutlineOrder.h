#pragma once

#include <cstdint>
#include <vector>

namespace quillet {
class Connection;
}

namespace quillet::dbtool {

// One item of the outline: its row's ID, its level (1 for a top-level item) and whether it is
// stored open.
struct OutlineItem
{
    std::int64_t id = 0;
    int depth = 1;
    bool expanded = false;
};

// The outline as the program shows it: the items in outline order (each item, then the items
// below it, siblings in ID order), and the rows the program leaves out, in ID order.
struct OutlineOrder
{
    std::vector<OutlineItem> items;
    std::vector<std::int64_t> leftOut;
};

// Reads the outline columns once, in ID order, by the program's own rule for rows. Notes are
// not read, so memory grows with the number of items only.
OutlineOrder outlineOrder(Connection &db);

} // namespace quillet::dbtool
