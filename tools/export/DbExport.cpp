#include "tools/export/DbExport.h"

#include "session/NotesSession.h"
#include "store/EscapedText.h"
#include "store/Keys.h"
#include "store/Sqlite.h"
#include "tools/export/ExportedItems.h"
#include "tools/shared/OutlineOrder.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace quillet::dbtool {

namespace {

using Item = ExportedItem;

// The note's lines, whatever line ends it was typed with.
template <class Visit>
void forEachLine(std::string_view text, Visit &&visit)
{
    std::size_t start = 0;
    while (start <= text.size()) {
        // A plain loop: find_first_of searches its set once for every character of the text.
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const bool last = end == text.size();
        visit(text.substr(start, end - start), last);
        if (last)
            break;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

std::string textOf(const Value &value)
{
    return value.toText().value_or(std::string());
}

// HTML writes the replacement character as "&#xFFFD;", so its writer gets a stand-in byte that
// no cleaned text holds otherwise.
constexpr char kHtmlStandIn = '\x01';

// The text with every byte that is not UTF-8, and every control character other than tab and
// line breaks (C0, DEL, C1), replaced, each counted.
std::string cleaned(std::string_view text, std::string_view replacement, std::size_t &count)
{
    std::string out;
    out.reserve(text.size());
    std::size_t run = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x20 && byte < 0x7F) { // the common case, plain ASCII
            ++at;
            continue;
        }
        std::size_t next = at;
        const std::optional<char32_t> c = keys::decode(text, next);
        const bool bad = !c || (*c < 0x20 && *c != '\t' && *c != '\n' && *c != '\r') ||
                         (*c >= 0x7F && *c <= 0x9F);
        if (!bad) {
            at = next;
            continue;
        }
        out.append(text.substr(run, at - run));
        out.append(replacement);
        ++count;
        at = c ? next : at + 1;
        run = at;
    }
    out.append(text.substr(run));
    return out;
}

// Markdown: characters that would start emphasis, links, code, HTML or entities are escaped
// anywhere; a "-", "+" or "=" first on a line would make a list item or a heading's underline,
// "12." or "3)" a numbered list, and leading spaces code, so those are escaped as well.
void writeMarkdownLine(std::ostream &out, std::string_view line)
{
    std::size_t start = 0;
    for (; start < line.size() && (line[start] == ' ' || line[start] == '\t'); ++start)
        out << (line[start] == ' ' ? "&nbsp;" : "&nbsp;&nbsp;&nbsp;&nbsp;");
    // Only the character after the line's first run of digits (and spaces) can end a list's
    // number.
    const std::size_t numberEnd = std::min(line.find_first_not_of(" \t0123456789"), line.size());
    const bool listNumber = numberEnd < line.size() &&
                            (line[numberEnd] == '.' || line[numberEnd] == ')') &&
                            line.substr(0, numberEnd).find_first_of("0123456789") != line.npos;
    // A table rather than a search of the list, since every character of every note asks.
    static constexpr auto kAnywhere = [] {
        std::array<bool, 256> escaped{};
        for (const char c : std::string_view("\\`*_[]<>&#|~"))
            escaped[static_cast<unsigned char>(c)] = true;
        return escaped;
    }();
    writeEscaped(
        out, line.substr(start),
        [&](char c, std::size_t i) {
            return kAnywhere[static_cast<unsigned char>(c)] ||
                   (i == 0 && (c == '-' || c == '+' || c == '=')) ||
                   (listNumber && start + i == numberEnd);
        },
        [](std::ostream &to, char c) { to << '\\' << c; });
}

void writeMarkdown(std::ostream &out, const Item &item)
{
    out << std::string(static_cast<std::size_t>(std::min(item.depth, 6)), '#') << ' ';
    std::string title = item.title;
    for (char &c : title)
        if (c == '\r' || c == '\n')
            c = ' ';
    writeMarkdownLine(out, title.empty() ? std::string_view("(untitled)") : title);
    out << "\n\n";
    const std::string note = textOf(item.note);
    if (note.empty())
        return;
    // A line break between two lines of text stays a line break: a backslash ends the first.
    // Blank lines separate paragraphs as they are.
    bool previousText = false;
    forEachLine(note, [&](std::string_view line, bool) {
        if (previousText)
            out << (line.empty() ? "\n" : "\\\n");
        writeMarkdownLine(out, line);
        if (line.empty())
            out << '\n';
        previousText = !line.empty();
    });
    out << (previousText ? "\n\n" : "\n");
}

void writeHtmlText(std::ostream &out, std::string_view text)
{
    writeEscaped(
        out, text,
        [](char c, std::size_t) {
            return c == '<' || c == '>' || c == '&' || c == '"' || c == '\r' || c == kHtmlStandIn;
        },
        [](std::ostream &to, char c) {
            if (c == kHtmlStandIn)
                to << "&#xFFFD;";
            else if (c == '<')
                to << "&lt;";
            else if (c == '>')
                to << "&gt;";
            else if (c == '&')
                to << "&amp;";
            else if (c == '"')
                to << "&quot;";
            // A carriage return is dropped; line feeds break the lines.
        });
}

// A stored colour (0x00BBGGRR) as CSS, or nothing for a system colour or a value that is not
// a colour.
std::string cssColor(const Value &value)
{
    const std::optional<std::int64_t> stored = value.integer();
    if (!stored || *stored < 0 || *stored > 0xFFFFFF)
        return {};
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<int>(*stored & 0xFF),
                  static_cast<int>((*stored >> 8) & 0xFF),
                  static_cast<int>((*stored >> 16) & 0xFF));
    return text;
}

// The note's stored format as CSS. A note without one (size 0 or not a number) is shown in the
// program's default format; a column that does not hold a usable value is left out.
std::string noteStyle(const Item &item)
{
    const std::optional<double> size = item.fontSize.toDouble();
    if (!size || *size == 0 || std::isnan(*size))
        return "font-family: 'Courier New', monospace; font-size: 10pt; color: #000000; "
               "background-color: #ffffff";
    std::string style;
    const auto add = [&](const std::string &property) {
        style += (style.empty() ? "" : "; ") + property;
    };
    if (std::string name = textOf(item.fontName);
        !name.empty() && name.find_first_of("'\\<>&;{}") == std::string::npos)
        add("font-family: '" + name + "'");
    if (*size > 0 && *size <= 1638) {
        char text[32];
        std::snprintf(text, sizeof text, "font-size: %gpt", *size);
        add(text);
    }
    if (const std::string color = cssColor(item.foreColor); !color.empty())
        add("color: " + color);
    if (const std::string color = cssColor(item.backColor); !color.empty())
        add("background-color: " + color);
    if (item.bold.toBool().value_or(false))
        add("font-weight: bold");
    if (item.italic.toBool().value_or(false))
        add("font-style: italic");
    return style;
}

void writeHtml(std::ostream &out, const Item &item)
{
    const int level = std::min(item.depth, 6);
    out << "<h" << level;
    if (item.depth > 6)
        out << " class=\"deep\" data-depth=\"" << item.depth << '"';
    out << '>';
    writeHtmlText(out, item.title);
    out << "</h" << level << ">\n<div class=\"note\" style=\"";
    writeHtmlText(out, noteStyle(item));
    out << "\">";
    writeHtmlText(out, textOf(item.note));
    out << "</div>\n";
}

// Plain text: each title indented two spaces a level, its note's lines four more.
void writeText(std::ostream &out, const Item &item)
{
    const std::string indent(2 * static_cast<std::size_t>(item.depth - 1), ' ');
    out << indent << item.title << '\n';
    const std::string note = textOf(item.note);
    if (!note.empty())
        forEachLine(note, [&](std::string_view line, bool) {
            out << (line.empty() ? std::string() : indent + "    ") << line << '\n';
        });
    out << '\n';
}

std::size_t writeItems(Connection &db, ExportFormat format, std::ostream &out,
                       const std::string &name)
{
    std::size_t replaced = 0;
    const std::string_view replacement =
        format == ExportFormat::Html ? std::string_view(&kHtmlStandIn, 1) : kReplacement;
    const auto clean = [&](const std::string &text) {
        return cleaned(text, replacement, replaced);
    };
    const OutlineOrder order = outlineOrder(db);
    if (format == ExportFormat::Html) {
        out << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
        writeHtmlText(out, clean(name));
        out << "</title>\n<style>\n"
               "body { font-family: sans-serif; margin: 2em; }\n"
               ".note { white-space: pre-wrap; padding: 0.5em; margin-bottom: 1.5em; }\n"
               "</style>\n</head>\n<body>\n";
    }
    Item cleanedItem;
    forEachExported(db, order, [&](const Item &item) {
        // What a text file cannot hold goes as U+FFFD, counted; the rest as stored.
        cleanedItem = item;
        cleanedItem.key = clean(item.key);
        cleanedItem.title = clean(item.title);
        cleanedItem.note = Value::text(clean(textOf(item.note)));
        if (format == ExportFormat::Markdown)
            writeMarkdown(out, cleanedItem);
        else if (format == ExportFormat::Html)
            writeHtml(out, cleanedItem);
        else
            writeText(out, cleanedItem);
    });
    if (format == ExportFormat::Html)
        out << "</body>\n</html>\n";
    return replaced;
}

} // namespace

std::size_t exportDatabase(const std::string &path, ExportFormat format, std::ostream &out,
                           bool withHistory)
{
    // Read as one moment of the file, even if the program writes meanwhile.
    NotesSession session;
    session.setPath(path);
    session.open(NotesSession::Access::Reading);
    if (format == ExportFormat::Json) {
        session.writeArchive(out, withHistory);
        return 0;
    }
    std::size_t replaced = 0;
    session.readTables([&](Connection &db) {
        replaced = writeItems(db, format, out, path.substr(path.rfind('/') + 1));
    });
    return replaced;
}

} // namespace quillet::dbtool
