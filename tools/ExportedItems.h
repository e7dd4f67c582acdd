#pragma once

#include "store/Value.h"
#include "tools/OutlineOrder.h"

#include <functional>
#include <string>

namespace quillet {
class Connection;
}

namespace quillet::dbtool {

// One item as the exports write it.
struct ExportedItem
{
    int depth = 1;
    bool hasChildren = false;
    std::string key;
    std::string title;
    Value note, fontSize, fontName, foreColor, backColor, bold, italic;
};

// Calls visit for every item of the outline in outline order, reading each row by its ID when
// its turn comes; then, when rows were left out of the outline, for an item "Rows outside the
// outline" and for those rows under it, each titled by its ID and key, so that no note is left
// behind. The item passed is reused from call to call.
void forEachExported(Connection &db, const OutlineOrder &order,
                     const std::function<void(const ExportedItem &)> &visit);

} // namespace quillet::dbtool
