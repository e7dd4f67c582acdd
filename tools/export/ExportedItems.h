#pragma once

#include "store/Value.h"
#include "tools/shared/OutlineOrder.h"

#include <functional>
#include <string>
#include <string_view>

namespace quillet {
class Connection;
}

namespace quillet::dbtool {

// The character the exports write for what a file of text cannot hold: U+FFFD.
inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

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
