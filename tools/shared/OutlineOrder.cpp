#include "tools/shared/OutlineOrder.h"

#include "store/OutlineRowCheck.h"
#include "store/Sqlite.h"

#include <unordered_map>

namespace quillet::dbtool {

OutlineOrder outlineOrder(Connection &db)
{
    // The tree as linked lists of children: node 0 is above the top-level items.
    std::vector<std::int64_t> ids{0};
    std::vector<int> firstChild{-1}, lastChild{-1}, nextSibling{-1};
    std::vector<bool> expanded{false};
    std::unordered_map<std::int64_t, int> nodeOfId;
    OutlineRowCheck rowCheck;
    OutlineOrder order;

    scanOutlineRows(db, [&](const OutlineRow &row) {
        const CheckedRow checked = rowCheck.check(row);
        if (checked.refusal()) {
            order.leftOut.push_back(row.id);
            return;
        }
        const int node = static_cast<int>(ids.size());
        const int parent =
            checked.parentKey.empty() ? 0 : nodeOfId.at(*rowCheck.firstIdOf(checked.parentKey));
        ids.push_back(row.id);
        firstChild.push_back(-1);
        lastChild.push_back(-1);
        nextSibling.push_back(-1);
        expanded.push_back(checked.expanded);
        nodeOfId.emplace(row.id, node);
        if (lastChild[parent] < 0)
            firstChild[parent] = node;
        else
            nextSibling[lastChild[parent]] = node;
        lastChild[parent] = node;
    });

    // Depth first, without recursion: outlines can be thousands of levels deep.
    order.items.reserve(ids.size() - 1);
    std::vector<int> path; // the nodes above the current one
    int node = firstChild[0];
    while (node >= 0) {
        order.items.push_back(OutlineItem{ids[static_cast<std::size_t>(node)],
                                          static_cast<int>(path.size()) + 1,
                                          expanded[static_cast<std::size_t>(node)]});
        if (firstChild[node] >= 0) {
            path.push_back(node);
            node = firstChild[node];
            continue;
        }
        while (node >= 0 && nextSibling[node] < 0) {
            node = path.empty() ? -1 : path.back();
            if (!path.empty())
                path.pop_back();
        }
        if (node >= 0)
            node = nextSibling[node];
    }
    return order;
}

} // namespace quillet::dbtool
