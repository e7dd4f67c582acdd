#include "tools/export/ExportedItems.h"

#include "store/Sqlite.h"
#include "store/Tables.h"

#include <utility>

namespace quillet::dbtool {

void forEachExported(Connection &db, const OutlineOrder &order,
                     const std::function<void(const ExportedItem &)> &visit)
{
    RowReader read(db);
    StoredRow row;
    ExportedItem item;
    const auto visitRow = [&](std::int64_t id, int depth, bool hasChildren, bool leftOut) {
        if (!read.read(id, row))
            return;
        item.depth = depth;
        item.hasChildren = hasChildren;
        item.key = row[1].toText().value_or(std::string());
        item.title = row[2].toText().value_or(std::string());
        if (leftOut)
            item.title = "ID " + std::to_string(id) + ", key \"" + item.key + "\": " + item.title;
        // Swapped rather than copied: the notes' buffers serve the next row.
        std::swap(item.note, row[3]);
        std::swap(item.fontSize, row[5]);
        std::swap(item.fontName, row[6]);
        std::swap(item.foreColor, row[7]);
        std::swap(item.backColor, row[8]);
        std::swap(item.bold, row[9]);
        std::swap(item.italic, row[10]);
        visit(item);
    };
    for (std::size_t i = 0; i < order.items.size(); ++i)
        visitRow(order.items[i].id, order.items[i].depth,
                 i + 1 < order.items.size() && order.items[i + 1].depth > order.items[i].depth,
                 false);
    if (order.leftOut.empty())
        return;
    item = ExportedItem{};
    item.title = "Rows outside the outline";
    item.hasChildren = true;
    visit(item);
    for (const std::int64_t id : order.leftOut)
        visitRow(id, 2, false, true);
}

} // namespace quillet::dbtool
