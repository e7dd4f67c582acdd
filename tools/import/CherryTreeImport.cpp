#include "tools/import/CherryTreeTables.h"
#include "tools/import/DocumentSnapshot.h"
#include "tools/import/ImportReaders.h"
#include "tools/import/XmlInput.h"
#include "tools/work/Worker.h"

#include <charconv>

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
        const std::string anchor = input.attribute("anchor");
        const std::string fileName = input.attribute("filename");
        // A formula's source is its text; an image's data is not wanted.
        std::string source;
        if (isFormula(fileName) && anchor.empty())
            source = input.readText();
        else
            input.skip();
        const std::optional<std::string> line =
            imageLine(anchor, fileName, std::move(source), report);
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
        , m_maker(WorkerEnd::Takes, kWaiting, [this](BoundedQueue<Batch> &queue) { work(queue); })
    {
    }

    // Hands on the text of a node, to be the note of the item; false once a problem stopped the
    // making, when nothing after it need be read.
    bool add(std::size_t item, std::int64_t node, std::string txt, bool rich, NodeText text)
    {
        m_batch.push_back(Node{item, node, std::move(txt), rich, std::move(text)});
        if (m_batch.size() == kBatch)
            m_making = send();
        return m_making;
    }

    // Waits for every note, gives each to its item and counts what the notes needed in the
    // report; throws the problem that stopped the making.
    void finish(ImportedOutline &outline, ImportReport &report)
    {
        send();
        m_maker.queue().close();
        m_maker.join();
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
    using Batch = std::vector<Node>;
    static constexpr std::size_t kBatch = 64;
    static constexpr std::size_t kWaiting = 4;

    // False once the making stopped.
    bool send()
    {
        const bool taken = m_batch.empty() || m_maker.queue().put(std::move(m_batch));
        m_batch.clear();
        return taken;
    }

    // The making thread.
    void work(BoundedQueue<Batch> &queue)
    {
        while (std::optional<Batch> batch = queue.take()) {
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
        }
    }

    const std::string m_path;
    // The reading thread's.
    Batch m_batch; // until sent
    bool m_making = true;
    // The making thread's until it is joined.
    std::vector<std::pair<std::size_t, ImportedItem>> m_made;
    ImportReport m_report;
    Worker<Batch> m_maker; // last: it starts once everything it uses is made
};

} // namespace

ImportedOutline readCherryTreeSqlite(const std::string &path, ImportReport &report)
{
    ImportedOutline outline;
    NoteMaker maker(path);
    try {
        // The document's program may be saving it while it is read: a copy is read instead,
        // taken as briefly as the engine can, so that the program's save does not fail for
        // waiting on the reading.
        DocumentSnapshot snapshot(path);
        Connection &db = snapshot.connection();
        // One read transaction for the whole copy: the engine takes and checks its lock once
        // rather than at every row.
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
