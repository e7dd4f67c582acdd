#include "store/Sqlite.h"
#include "tools/import/BoundedQueue.h"
#include "tools/import/CherryTreeText.h"
#include "tools/import/ImportReaders.h"
#include "tools/import/XmlInput.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <exception>
#include <map>
#include <span>
#include <thread>
#include <unordered_map>

namespace quillet::dbtool {

namespace {

long long offsetOf(const XmlInput &input)
{
    const std::string offset = input.attribute("char_offset");
    const char *at = offset.data();
    const char *const end = at + offset.size();
    while (at < end && (*at == ' ' || *at == '\t' || *at == '\n' || *at == '\r'))
        ++at;
    long long value = 0;
    std::from_chars(at, end, value);
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
    outline.placeName = [path](std::int64_t line) {
        return path + ", line " + std::to_string(line);
    };
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
                outline.add(open.empty() ? 0 : open.back().item, input.attribute("name"), {},
                            static_cast<std::int64_t>(input.line()));
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
        Statement read(db, "SELECT node_id, offset, anchor, filename FROM image");
        while (read.step())
            if (const std::optional<std::string> line =
                    imageLine(read.columnText(2), read.columnText(3), report)) {
                NodeText &text = objects[read.columnInt64(0)];
                text.objects.push_back(NodeText::Object{read.columnInt64(1), *line});
                text.unchecked = true;
            }
    }
    return objects;
}

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
// node, none its own ancestor.
Tree treeOf(Connection &db, const std::string &path)
{
    std::vector<std::int64_t> nodes;
    for (Statement read(db, "SELECT node_id FROM node ORDER BY node_id"); read.step();) {
        nodes.push_back(read.columnInt64(0));
        if (nodes.size() > 1 && nodes.back() == nodes[nodes.size() - 2])
            throw ImportRefused(path + ": the node " + std::to_string(nodes.back()) +
                                " is there twice; the document is damaged.");
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
        const std::string named = path + ": the node " + std::to_string(node);
        // 0 stands for the top of the tree: a node of that number would be its own parent.
        if (node == 0)
            throw ImportRefused(named + " has the number of the top of the tree.");
        const std::optional<std::size_t> index = indexOf(node);
        if (!index)
            throw ImportRefused(named + " has a place in the tree but is not in the document.");
        if (father != 0 && !indexOf(father))
            throw ImportRefused(named + " is under the node " + std::to_string(father) +
                                ", which is missing.");
        if (placed[*index])
            throw ImportRefused(named + " has two places in the tree.");
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
        throw ImportRefused(path + ": some nodes are under one another in a circle; the tree "
                                   "is damaged.");
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (!placed[i])
            throw ImportRefused(path + ": the node " + std::to_string(nodes[i]) +
                                " has no place in the tree.");
    return tree;
}

// Makes the nodes' notes on a thread of its own while the calling thread reads the document:
// reading each node's rich text as XML is most of the reading's work. Nodes are handed on in
// batches, a few batches at most waiting, and their notes given to their items at the end. A
// problem of one node's text stops the making; it is the one said when the reading meets a
// problem later, as it would be met first reading on one thread.
class NoteMaker
{
public:
    explicit NoteMaker(std::string path)
        : m_path(std::move(path))
        , m_thread([this] { work(); })
    {
    }

    ~NoteMaker()
    {
        if (m_thread.joinable()) {
            m_queue.stop();
            m_thread.join();
        }
    }

    NoteMaker(const NoteMaker &) = delete;
    NoteMaker &operator=(const NoteMaker &) = delete;

    // Hands on the text of a node, to be the note of the item; false once a problem stopped the
    // making, when nothing after it need be read.
    bool add(std::size_t item, std::int64_t node, std::string txt, bool rich, NodeText text)
    {
        m_batch.push_back(Node{item, node, std::move(txt), rich, std::move(text)});
        if (m_batch.size() == kBatch)
            send();
        return !m_failed.load(std::memory_order_relaxed);
    }

    // Waits for every note, gives each to its item and counts what the notes needed in the
    // report; throws the problem that stopped the making.
    void finish(ImportedOutline &outline, ImportReport &report)
    {
        send();
        m_queue.close();
        m_thread.join();
        if (m_problem)
            std::rethrow_exception(m_problem);
        for (auto &[item, made] : m_made) {
            outline.items[item].note = std::move(made.note);
            outline.items[item].format = made.format;
        }
        report.formats += m_report.formats;
        report.mixedFormats += m_report.mixedFormats;
        report.latin1 += m_report.latin1;
    }

private:
    struct Node
    {
        std::size_t item;
        std::int64_t node;
        std::string txt;
        bool rich;
        NodeText text;
    };
    static constexpr std::size_t kBatch = 64;
    static constexpr std::size_t kWaiting = 4;

    void send()
    {
        if (!m_batch.empty())
            m_queue.put(std::move(m_batch));
        m_batch.clear();
    }

    // The making thread.
    void work()
    {
        while (std::optional<std::vector<Node>> batch = m_queue.take()) {
            try {
                for (Node &node : *batch) {
                    if (node.rich)
                        readRichDocument(node.txt, m_path + ", node " + std::to_string(node.node),
                                         node.text);
                    else
                        node.text.runs.push_back(NodeText::Run{std::move(node.txt), {}});
                    node.text.unchecked |= !node.rich;
                    ImportedItem made;
                    finishNote(node.text, made, m_report);
                    m_made.emplace_back(node.item, std::move(made));
                }
            } catch (...) {
                m_problem = std::current_exception();
                m_failed = true;
                // The reading may be waiting for room.
                m_queue.stop();
                return;
            }
        }
    }

    const std::string m_path;
    std::vector<Node> m_batch; // the reading thread's, until sent
    BoundedQueue<std::vector<Node>> m_queue{kWaiting};
    std::atomic<bool> m_failed = false;
    // The making thread's until it is joined.
    std::exception_ptr m_problem;
    std::vector<std::pair<std::size_t, ImportedItem>> m_made;
    ImportReport m_report;
    std::thread m_thread; // last: it starts once everything it uses is made
};

} // namespace

ImportedOutline readCherryTreeSqlite(const std::string &path, ImportReport &report)
{
    ImportedOutline outline;
    NoteMaker maker(path);
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
        const Tree tree = treeOf(db, path);
        Statement read(db, "SELECT name, txt, is_richtxt FROM node WHERE node_id = ?");
        std::vector<std::pair<std::int64_t, std::size_t>> pending{{0, 0}};
        bool making = true;
        while (!pending.empty() && making) {
            const auto [node, item] = pending.back();
            pending.pop_back();
            std::vector<std::pair<std::int64_t, std::size_t>> added;
            for (const std::int64_t child : tree.childrenOf(node)) {
                read.reset();
                read.bind(1, child);
                read.step();
                NodeText text;
                if (const auto found = objects.find(child); found != objects.end())
                    text = std::move(found->second);
                std::string title = read.columnText(0);
                report.latin1 += toUtf8(title) ? 1 : 0;
                const std::size_t childItem = outline.add(item, std::move(title), {}, child);
                making = maker.add(childItem, child, read.columnText(1),
                                   (read.columnInt64(2) & 1) != 0, std::move(text));
                if (!making)
                    break;
                added.emplace_back(child, childItem);
            }
            pending.insert(pending.end(), added.rbegin(), added.rend());
        }
        db.exec("COMMIT");
    } catch (const StoreError &error) {
        // A problem of a node read before is said first.
        maker.finish(outline, report);
        throw ImportRefused(
            path + ": it cannot be read as a CherryTree document (SQLite): " + error.message());
    } catch (...) {
        maker.finish(outline, report);
        throw;
    }
    maker.finish(outline, report);
    return outline;
}

} // namespace quillet::dbtool
