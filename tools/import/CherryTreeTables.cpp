#include "tools/import/CherryTreeTables.h"

#include "tools/import/XmlInput.h"

#include <algorithm>
#include <optional>

namespace quillet::dbtool {

namespace {

// A tree that is not one may be a document read while its program was saving it in several
// steps, as well as a damaged one: both are said.
ImportRefused notATree(const std::string &path, const std::string &what)
{
    return ImportRefused(path + ": " + what +
                         " The file may be being saved by CherryTree just now: try again when "
                         "it is not. Said again, the document is damaged.");
}

} // namespace

bool hasTable(Connection &db, const char *name)
{
    Statement find(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
    find.bind(1, std::string_view(name));
    return find.step();
}

std::map<std::int64_t, NodeText> objectsOf(Connection &db, const std::string &path,
                                           ImportReport &report)
{
    std::map<std::int64_t, NodeText> objects;
    if (hasTable(db, "codebox")) {
        Statement read(db, "SELECT node_id, offset, txt FROM codebox");
        while (read.step()) {
            NodeText &text = objects[read.columnInt64(0)];
            text.objects.push_back(NodeText::Object{read.columnInt64(1), read.columnText(2)});
            text.unchecked = true;
            ++report.codeBoxes;
        }
    }
    if (hasTable(db, "grid")) {
        Statement read(db, "SELECT node_id, offset, txt FROM grid");
        while (read.step()) {
            const std::string xml = read.columnText(2);
            XmlInput input(xml, path + ", a table of node " + std::to_string(read.columnInt64(0)));
            if (input.next() != XmlToken::StartElement)
                input.refuse("the table is not an XML element");
            objects[read.columnInt64(0)].objects.push_back(
                NodeText::Object{read.columnInt64(1), readTable(input, report)});
        }
    }
    if (hasTable(db, "image")) {
        // A formula's source is in the picture's column; pictures are not read.
        Statement read(db, "SELECT node_id, offset, anchor, filename, CASE WHEN filename = ? "
                           "THEN png END FROM image");
        read.bind(1, kFormulaFile);
        while (read.step())
            if (const std::optional<std::string> line =
                    imageLine(read.columnText(2), read.columnText(3), read.columnText(4), report)) {
                NodeText &text = objects[read.columnInt64(0)];
                text.objects.push_back(NodeText::Object{read.columnInt64(1), *line});
                text.unchecked = true;
            }
    }
    return objects;
}

Tree treeOf(Connection &db, const std::string &path)
{
    std::vector<std::int64_t> nodes;
    for (Statement read(db, "SELECT node_id FROM node ORDER BY node_id"); read.step();) {
        nodes.push_back(read.columnInt64(0));
        if (nodes.size() > 1 && nodes.back() == nodes[nodes.size() - 2])
            throw notATree(path, "the node " + std::to_string(nodes.back()) + " is there twice.");
    }
    const auto indexOf = [&](std::int64_t node) -> std::optional<std::size_t> {
        const auto found = std::lower_bound(nodes.begin(), nodes.end(), node);
        if (found == nodes.end() || *found != node)
            return std::nullopt;
        return static_cast<std::size_t>(found - nodes.begin());
    };
    Tree tree;
    std::vector<bool> placed(nodes.size());
    Statement read(db, "SELECT node_id, father_id FROM children ORDER BY father_id, sequence, "
                       "node_id");
    while (read.step()) {
        const std::int64_t node = read.columnInt64(0), father = read.columnInt64(1);
        const std::string named = "the node " + std::to_string(node);
        // 0 stands for the top of the tree: a node of that number would be its own parent.
        if (node == 0)
            throw notATree(path, named + " has the number of the top of the tree.");
        const std::optional<std::size_t> index = indexOf(node);
        if (!index)
            throw notATree(path, named + " has a place in the tree but is not in the document.");
        if (father != 0 && !indexOf(father))
            throw notATree(path, named + " is under the node " + std::to_string(father) +
                                     ", which is missing.");
        if (placed[*index])
            throw notATree(path, named + " has two places in the tree.");
        placed[*index] = true;
        // The rows come parent by parent.
        const auto range =
            tree.below.try_emplace(father, tree.order.size(), tree.order.size()).first;
        tree.order.push_back(node);
        range->second.second = tree.order.size();
    }
    // Walked from the top, a tree reaches every placed node; nodes under one another in a
    // circle are never reached.
    std::size_t reached = 0;
    for (std::vector<std::int64_t> pending{0}; !pending.empty();) {
        const std::span<const std::int64_t> children = tree.childrenOf(pending.back());
        pending.pop_back();
        reached += children.size();
        pending.insert(pending.end(), children.begin(), children.end());
    }
    if (reached != tree.order.size())
        throw notATree(path, "some nodes are under one another in a circle.");
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (!placed[i])
            throw notATree(path,
                           "the node " + std::to_string(nodes[i]) + " has no place in the tree.");
    return tree;
}

} // namespace quillet::dbtool
