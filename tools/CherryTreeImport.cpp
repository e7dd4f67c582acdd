#include "store/Sqlite.h"
#include "tools/CherryTreeText.h"
#include "tools/ImportReaders.h"
#include "tools/XmlInput.h"

#include <charconv>
#include <map>
#include <set>

namespace quillet::dbtool {

namespace {

long long offsetOf(const XmlInput &input)
{
    const std::string offset = input.attribute("char_offset");
    long long value = 0;
    std::from_chars(offset.data(), offset.data() + offset.size(), value);
    return value;
}

// One node the XML reader is inside: its item and its text so far.
struct OpenNode
{
    std::size_t item;
    NodeText text;
};

// Reads what a node holds besides other nodes; false for an element that is not of a node.
bool readContent(XmlInput &input, OpenNode &node, ImportReport &report)
{
    const std::string_view name = input.name();
    if (name == "rich_text") {
        readRun(input, node.text);
    } else if (name == "codebox") {
        const long long offset = offsetOf(input);
        node.text.objects.push_back(NodeText::Object{offset, input.readText()});
        ++report.codeBoxes;
    } else if (name == "table") {
        const long long offset = offsetOf(input);
        node.text.objects.push_back(NodeText::Object{offset, readTable(input, report)});
    } else if (name == "encoded_png") {
        const long long offset = offsetOf(input);
        const std::optional<std::string> line =
            imageLine(input.attribute("anchor"), input.attribute("filename"), report);
        input.skip();
        if (line)
            node.text.objects.push_back(NodeText::Object{offset, *line});
    } else {
        return false;
    }
    return true;
}

} // namespace

ImportedOutline readCherryTreeXml(const std::string &path, ImportReport &report)
{
    XmlInput input(path);
    input.expectRoot("cherrytree", "a CherryTree document");
    ImportedOutline outline;
    std::vector<OpenNode> open;
    for (;;) {
        const XmlToken token = input.next();
        if (token == XmlToken::EndDocument)
            break;
        if (token == XmlToken::EndElement && !open.empty() && input.name() == "node") {
            finishNote(open.back().text, outline.items[open.back().item], report);
            open.pop_back();
            continue;
        }
        if (token != XmlToken::StartElement)
            continue;
        if (input.name() == "node") {
            const std::size_t item =
                outline.add(open.empty() ? 0 : open.back().item, input.attribute("name"));
            open.push_back(OpenNode{item, {}});
        } else if (open.empty() || !readContent(input, open.back(), report)) {
            if (input.name() != "bookmarks")
                report.skipped.push_back("<" + std::string(input.name()) + "> on line " +
                                         std::to_string(input.line()) +
                                         ": not a part of a note; left out");
            input.skip();
        }
    }
    return outline;
}

namespace {

bool hasTable(Connection &db, const char *name)
{
    Statement find(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
    find.bind(1, std::string_view(name));
    return find.step();
}

// The code boxes, tables and images of every node, by node.
std::map<std::int64_t, NodeText> objectsOf(Connection &db, const std::string &path,
                                           ImportReport &report)
{
    std::map<std::int64_t, NodeText> objects;
    if (hasTable(db, "codebox")) {
        Statement read(db, "SELECT node_id, offset, txt FROM codebox");
        while (read.step()) {
            objects[read.columnInt64(0)].objects.push_back(
                NodeText::Object{read.columnInt64(1), read.columnText(2)});
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
        Statement read(db, "SELECT node_id, offset, anchor, filename FROM image");
        while (read.step())
            if (const std::optional<std::string> line =
                    imageLine(read.columnText(2), read.columnText(3), report))
                objects[read.columnInt64(0)].objects.push_back(
                    NodeText::Object{read.columnInt64(1), *line});
    }
    return objects;
}

// Each node's children in their order, checked to make one tree: every node in it once, under
// a parent that is a node, none its own ancestor.
std::map<std::int64_t, std::vector<std::int64_t>> treeOf(Connection &db, const std::string &path)
{
    std::set<std::int64_t> nodes;
    for (Statement read(db, "SELECT node_id FROM node"); read.step();)
        if (!nodes.insert(read.columnInt64(0)).second)
            throw ImportRefused(path + ": the node " + std::to_string(read.columnInt64(0)) +
                                " is there twice; the document is damaged.");
    std::map<std::int64_t, std::vector<std::int64_t>> children;
    std::set<std::int64_t> placed;
    Statement read(db, "SELECT node_id, father_id FROM children ORDER BY father_id, sequence, "
                       "node_id");
    while (read.step()) {
        const std::int64_t node = read.columnInt64(0), father = read.columnInt64(1);
        const std::string named = path + ": the node " + std::to_string(node);
        // 0 stands for the top of the tree: a node of that number would be its own parent.
        if (node == 0)
            throw ImportRefused(named + " has the number of the top of the tree.");
        if (!nodes.contains(node))
            throw ImportRefused(named + " has a place in the tree but is not in the document.");
        if (father != 0 && !nodes.contains(father))
            throw ImportRefused(named + " is under the node " + std::to_string(father) +
                                ", which is missing.");
        if (!placed.insert(node).second)
            throw ImportRefused(named + " has two places in the tree.");
        children[father].push_back(node);
    }
    // Walked from the top, a tree reaches every placed node; nodes under one another in a
    // circle are never reached.
    std::size_t reached = 0;
    for (std::vector<std::int64_t> pending{0}; !pending.empty();) {
        const std::int64_t node = pending.back();
        pending.pop_back();
        if (const auto found = children.find(node); found != children.end()) {
            reached += found->second.size();
            pending.insert(pending.end(), found->second.begin(), found->second.end());
        }
    }
    if (reached != placed.size())
        throw ImportRefused(path + ": some nodes are under one another in a circle; the tree "
                                   "is damaged.");
    for (const std::int64_t node : nodes)
        if (!placed.contains(node))
            throw ImportRefused(path + ": the node " + std::to_string(node) +
                                " has no place in the tree.");
    return children;
}

} // namespace

ImportedOutline readCherryTreeSqlite(const std::string &path, ImportReport &report)
{
    ImportedOutline outline;
    try {
        // Read-only, with the notes file's own hardening: nothing stored in the document (a
        // trigger, a view) runs.
        Connection db(path, Connection::Mode::ReadOnly);
        // One read transaction for the whole document: its parts read as of one moment, and
        // the engine takes and checks its lock once rather than at every row.
        db.exec("BEGIN");
        if (!hasTable(db, "node") || !hasTable(db, "children"))
            throw ImportRefused(path + ": it is not a CherryTree document: it has no tables "
                                       "\"node\" and \"children\".");
        std::map<std::int64_t, NodeText> objects = objectsOf(db, path, report);
        const std::map<std::int64_t, std::vector<std::int64_t>> children = treeOf(db, path);
        Statement read(db, "SELECT name, txt, is_richtxt FROM node WHERE node_id = ?");
        std::vector<std::pair<std::int64_t, std::size_t>> pending{{0, 0}};
        while (!pending.empty()) {
            const auto [node, item] = pending.back();
            pending.pop_back();
            const auto below = children.find(node);
            if (below == children.end())
                continue;
            std::vector<std::pair<std::int64_t, std::size_t>> added;
            for (const std::int64_t child : below->second) {
                read.reset();
                read.bind(1, child);
                read.step();
                NodeText text;
                if (const auto found = objects.find(child); found != objects.end())
                    text = std::move(found->second);
                const std::string txt = read.columnText(1);
                if (read.columnInt64(2) & 1)
                    readRichDocument(txt, path + ", node " + std::to_string(child), text);
                else
                    text.runs.push_back(NodeText::Run{txt, {}});
                std::string title = read.columnText(0);
                report.latin1 += toUtf8(title) ? 1 : 0;
                const std::size_t childItem = outline.add(item, std::move(title));
                finishNote(text, outline.items[childItem], report);
                added.emplace_back(child, childItem);
            }
            pending.insert(pending.end(), added.rbegin(), added.rend());
        }
        db.exec("COMMIT");
    } catch (const StoreError &error) {
        throw ImportRefused(
            path + ": it cannot be read as a CherryTree document (SQLite): " + error.message());
    }
    return outline;
}

} // namespace quillet::dbtool
