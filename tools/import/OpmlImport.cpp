#include "tools/import/ImportReaders.h"
#include "tools/import/XmlInput.h"

#include <algorithm>
#include <charconv>

namespace quillet::dbtool {

namespace {

// The line numbers of expansionState: "1, 6, 13".
std::vector<std::size_t> lineNumbers(const std::string &text)
{
    std::vector<std::size_t> lines;
    const char *at = text.data();
    const char *end = at + text.size();
    while (at < end) {
        if (*at < '0' || *at > '9') {
            ++at;
            continue;
        }
        std::size_t line = 0;
        at = std::from_chars(at, end, line).ptr;
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Opens the items whose lines the list names: a line is counted from 0 at the first top-level
// item, down the outline as it shows with the items before it opened.
void expand(ImportedOutline &outline, const std::vector<std::size_t> &lines)
{
    std::size_t line = 0;
    auto wanted = lines.begin();
    std::vector<std::size_t> pending(outline.items[0].children.rbegin(),
                                     outline.items[0].children.rend());
    while (!pending.empty() && wanted != lines.end()) {
        const std::size_t item = pending.back();
        pending.pop_back();
        while (wanted != lines.end() && *wanted < line)
            ++wanted;
        if (wanted == lines.end() || *wanted != line++)
            continue;
        const std::vector<std::size_t> &children = outline.items[item].children;
        if (children.empty())
            continue;
        outline.items[item].expanded = true;
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

} // namespace

ImportedOutline readOpml(const std::string &path, ImportReport &report)
{
    ImportedOutline outline;
    outline.placeName = [path](std::int64_t line) {
        return path + ", line " + std::to_string(line);
    };
    std::vector<std::size_t> lines; // of expansionState
    XmlInput input(path);
    input.expectRoot("opml", "an OPML file");
    std::vector<std::size_t> parents; // the items the input is inside, within <body>
    bool inBody = false;
    for (;;) {
        const XmlToken token = input.next();
        if (token == XmlToken::EndDocument)
            break;
        if (token == XmlToken::EndElement) {
            if (!parents.empty())
                parents.pop_back();
            else if (input.name() == "body")
                inBody = false;
            continue;
        }
        if (token != XmlToken::StartElement)
            continue;
        if (!inBody && input.name() == "head")
            continue;
        if (!inBody && input.name() == "expansionState") {
            lines = lineNumbers(input.readText());
        } else if (!inBody && input.name() == "body") {
            inBody = true;
        } else if (inBody && input.name() == "outline") {
            std::string title, note;
            for (const XmlAttribute &attribute : input.attributes()) {
                if (attribute.name == "text")
                    title = attribute.value;
                else if (attribute.name == "_note")
                    note = attribute.value;
                else
                    ++report.unknownAttributes;
            }
            parents.push_back(outline.add(parents.empty() ? 0 : parents.back(), std::move(title),
                                          std::move(note),
                                          static_cast<std::int64_t>(input.line())));
        } else {
            if (inBody)
                report.skipped.push_back("<" + std::string(input.name()) + "> on line " +
                                         std::to_string(input.line()) +
                                         ": not an outline element; left out with what it holds");
            input.skip();
        }
    }
    expand(outline, lines);
    return outline;
}

} // namespace quillet::dbtool
