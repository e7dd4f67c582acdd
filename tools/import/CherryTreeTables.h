#pragma once

#include "store/Sqlite.h"
#include "tools/import/CherryTreeText.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

// The tables of a CherryTree SQLite document, read into what its outline is made of.
namespace quillet::dbtool {

bool hasTable(Connection &db, const char *name);

// The code boxes, formula boxes, tables and images of every node, by node.
std::map<std::int64_t, NodeText> objectsOf(Connection &db, const std::string &path,
                                           ImportReport &report);

// The nodes of a document as one tree: each node's children in their order.
struct Tree
{
    std::vector<std::int64_t> order; // the nodes, the children of each parent together
    // Where each parent's children are in order, 0 standing for the top of the tree.
    std::unordered_map<std::int64_t, std::pair<std::size_t, std::size_t>> below;

    std::span<const std::int64_t> childrenOf(std::int64_t node) const
    {
        const auto found = below.find(node);
        if (found == below.end())
            return {};
        return std::span(order).subspan(found->second.first,
                                        found->second.second - found->second.first);
    }
};

// The document's tree, checked to be one: every node in it once, under a parent that is a
// node, none its own ancestor. A tree that is not one is refused, saying that its program may
// have been saving it.
Tree treeOf(Connection &db, const std::string &path);

} // namespace quillet::dbtool
