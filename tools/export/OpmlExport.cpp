#include "store/Keys.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "tools/export/ExportedItems.h"
#include "tools/export/OutlineExport.h"

#include <climits>
#include <ostream>

namespace quillet::dbtool {

namespace {

// Text as the value of an XML attribute, in runs between the characters that need writing
// otherwise. Line breaks and tabs are written as character references, since a reader turns
// them into spaces in an attribute; characters XML cannot hold at all (control characters, bytes
// that are not UTF-8, U+FFFE and U+FFFF) are written as U+FFFD and counted.
void writeAttribute(std::ostream &out, std::string_view text, std::size_t &replaced)
{
    std::size_t run = 0;
    const auto flush = [&](std::size_t end) {
        out.write(text.data() + run, static_cast<std::streamsize>(end - run));
    };
    for (std::size_t pos = 0; pos < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        if (c >= 0x80) {
            std::size_t next = pos;
            const std::optional<char32_t> code = keys::decode(text, next);
            if (code && *code != 0xFFFE && *code != 0xFFFF) {
                pos = next;
                continue;
            }
            flush(pos);
            out << kReplacement;
            ++replaced;
            pos = code ? next : pos + 1;
            run = pos;
            continue;
        }
        const char *written = nullptr;
        switch (c) {
        case '&':
            written = "&amp;";
            break;
        case '<':
            written = "&lt;";
            break;
        case '>':
            written = "&gt;";
            break;
        case '"':
            written = "&quot;";
            break;
        case '\n':
            written = "&#10;";
            break;
        case '\r':
            written = "&#13;";
            break;
        case '\t':
            written = "&#9;";
            break;
        default:
            if (c >= 0x20 && c != 0x7F) {
                ++pos;
                continue;
            }
            // DEL may stand in XML, but other programs' readers refuse it as they do the
            // control characters before space.
            written = kReplacement.data();
            ++replaced;
        }
        flush(pos);
        out << written;
        run = ++pos;
    }
    flush(text.size());
}

// The lines (from 0, as the outline shows with every item before it open or closed as stored)
// of the open items that have children and show.
std::string expansionState(const OutlineOrder &order)
{
    std::string lines;
    std::size_t line = 0;
    int hiddenBelow = INT_MAX; // items deeper than this are inside a closed item
    for (std::size_t i = 0; i < order.items.size(); ++i) {
        const OutlineItem &item = order.items[i];
        if (item.depth > hiddenBelow)
            continue;
        hiddenBelow = INT_MAX;
        const bool hasChildren =
            i + 1 < order.items.size() && order.items[i + 1].depth > item.depth;
        if (hasChildren && item.expanded)
            lines += (lines.empty() ? "" : ",") + std::to_string(line);
        else if (hasChildren)
            hiddenBelow = item.depth;
        ++line;
    }
    return lines;
}

void indent(std::ostream &out, int depth)
{
    // Deep outlines would spend most of the file on spaces: the indent stops growing.
    out << std::string(2 * static_cast<std::size_t>(std::min(depth, 16)), ' ');
}

} // namespace

ExportReport exportOpml(const std::string &path, std::ostream &out)
{
    schema::verifyFile(path);
    Connection db(path, Connection::Mode::ReadOnly);
    schema::check(db);
    // One read transaction: the export is one moment of the file.
    db.exec("BEGIN");
    const OutlineOrder order = outlineOrder(db);
    ExportReport report;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">\n  <head>\n"
           "    <title>";
    writeAttribute(out, path.substr(path.rfind('/') + 1), report.replaced);
    out << "</title>\n    <expansionState>" << expansionState(order)
        << "</expansionState>\n  </head>\n  <body>\n";
    std::vector<int> open; // the depths of the items whose elements are open
    forEachExported(db, order, [&](const ExportedItem &item) {
        for (; !open.empty() && open.back() >= item.depth; open.pop_back()) {
            indent(out, open.back() + 1);
            out << "</outline>\n";
        }
        indent(out, item.depth + 1);
        out << "<outline text=\"";
        writeAttribute(out, item.title, report.replaced);
        const std::optional<std::string_view> note = item.note.textView();
        if (note && !note->empty()) {
            out << "\" _note=\"";
            writeAttribute(out, *note, report.replaced);
        } else if (item.note.integer() || item.note.real()) {
            out << "\" _note=\"" << *item.note.toText();
        }
        out << (item.hasChildren ? "\">\n" : "\"/>\n");
        if (item.hasChildren)
            open.push_back(item.depth);
        ++report.items;
    });
    for (; !open.empty(); open.pop_back()) {
        indent(out, open.back() + 1);
        out << "</outline>\n";
    }
    out << "  </body>\n</opml>\n";
    db.exec("COMMIT");
    return report;
}

} // namespace quillet::dbtool
