#include "tools/ExportedItems.h"

#include "store/Sqlite.h"

namespace quillet::dbtool {

void forEachExported(Connection &db, const OutlineOrder &order,
                     const std::function<void(const ExportedItem &)> &visit)
{
    Statement read(db, "SELECT Kleidi, MyText, Keimeno, MegFonta, Grammatoseira, XromaFont, "
                       "XromaBack, FontaBold, FontaPlagia FROM mynodes WHERE ID=?");
    ExportedItem item;
    const auto visitRow = [&](std::int64_t id, int depth, bool hasChildren, bool leftOut) {
        read.reset();
        read.bind(1, id);
        if (!read.step())
            return;
        item.depth = depth;
        item.hasChildren = hasChildren;
        item.key = read.column(0).toText().value_or(std::string());
        item.title = read.column(1).toText().value_or(std::string());
        if (leftOut)
            item.title = "ID " + std::to_string(id) + ", key \"" + item.key + "\": " + item.title;
        read.column(2, item.note);
        read.column(3, item.fontSize);
        read.column(4, item.fontName);
        read.column(5, item.foreColor);
        read.column(6, item.backColor);
        read.column(7, item.bold);
        read.column(8, item.italic);
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
