#include "tools/import/CherryTreeText.h"

#include "store/Keys.h"
#include "tools/import/XmlInput.h"

#include <algorithm>
#include <cstdlib>

namespace quillet::dbtool {

namespace {

// A colour "#rrggbb" or "#rrrrggggbbbb" as stored, 0x00BBGGRR; nothing for anything else.
std::optional<std::int32_t> colourOf(const std::string &text)
{
    if (text.size() != 7 && text.size() != 13)
        return std::nullopt;
    if (text[0] != '#' || text.find_first_not_of("0123456789abcdefABCDEF", 1) != text.npos)
        return std::nullopt;
    const std::size_t width = (text.size() - 1) / 3;
    std::int32_t colour = 0;
    for (int part = 0; part < 3; ++part) {
        // Of four digits a part, the first two are the byte.
        const std::string digits = text.substr(1 + part * width, 2);
        colour |= static_cast<std::int32_t>(std::strtol(digits.c_str(), nullptr, 16)) << (8 * part);
    }
    return colour;
}

// Sizes for the heading scales, in points, around the default of 10.
std::optional<float> sizeOf(const std::string &scale)
{
    static const std::pair<const char *, float> kSizes[] = {{"h1", 20},   {"h2", 17}, {"h3", 15},
                                                            {"h4", 13},   {"h5", 12}, {"h6", 11},
                                                            {"small", 8}, {"sup", 8}, {"sub", 8}};
    for (const auto &[name, size] : kSizes)
        if (scale == name)
            return size;
    return std::nullopt;
}

// The note format a run's attributes make, the default format filling what they leave open;
// nothing when that is the default format itself.
std::optional<NoteFormat> noteFormat(const RunFormat &run)
{
    NoteFormat format = defaultNoteFormat();
    const NoteFormat plain = format;
    // The documents name only "monospace", which the notes' own default font already is.
    if (!run.family.empty() && run.family != "monospace")
        format.fontName = run.family;
    format.fontSize = sizeOf(run.scale).value_or(format.fontSize);
    format.foreColor = colourOf(run.foreground).value_or(format.foreColor);
    format.backColor = colourOf(run.background).value_or(format.backColor);
    format.bold = run.weight == "heavy";
    format.italic = run.style == "italic";
    if (format.fontName == plain.fontName && format.fontSize == plain.fontSize &&
        format.foreColor == plain.foreColor && format.backColor == plain.backColor &&
        format.bold == plain.bold && format.italic == plain.italic)
        return std::nullopt;
    return format;
}

bool isBlank(const std::string &text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

} // namespace

void readRun(XmlInput &input, NodeText &text)
{
    RunFormat format{input.attribute("family"),     input.attribute("scale"),
                     input.attribute("foreground"), input.attribute("background"),
                     input.attribute("weight"),     input.attribute("style")};
    text.runs.push_back(NodeText::Run{input.readText(), std::move(format)});
}

std::string readTable(XmlInput &input, ImportReport &report)
{
    std::vector<std::string> rows;
    for (;;) {
        const XmlToken token = input.next();
        if (token == XmlToken::EndElement)
            break;
        if (token != XmlToken::StartElement)
            continue;
        if (input.name() != "row") {
            input.skip();
            continue;
        }
        std::string row;
        bool first = true;
        while (input.next() != XmlToken::EndElement) {
            if (input.token() != XmlToken::StartElement)
                continue;
            std::string cell = input.readText();
            // A cell's own tabs and line breaks would read as new cells and rows.
            std::replace_if(
                cell.begin(), cell.end(),
                [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
            row += (first ? "" : "\t") + cell;
            first = false;
        }
        rows.push_back(std::move(row));
    }
    ++report.tables;
    if (rows.empty())
        return {};
    std::rotate(rows.rbegin(), rows.rbegin() + 1, rows.rend());
    std::string lines;
    for (const std::string &row : rows)
        lines += (lines.empty() ? "" : "\n") + row;
    return lines;
}

std::optional<std::string> imageLine(const std::string &anchor, const std::string &fileName,
                                     std::string formulaSource, ImportReport &report)
{
    if (!anchor.empty()) {
        ++report.anchors;
        return std::nullopt;
    }
    if (isFormula(fileName)) {
        ++report.formulas;
        return formulaSource;
    }
    if (!fileName.empty()) {
        ++report.attachments;
        return "[file " + fileName + "]";
    }
    ++report.images;
    return std::string("[image]");
}

void readRichDocument(std::string_view xml, const std::string &where, NodeText &text)
{
    XmlInput input(xml, where);
    if (input.next() != XmlToken::StartElement)
        input.refuse("its rich text is not an XML element");
    for (;;) {
        const XmlToken token = input.next();
        if (token == XmlToken::EndDocument || token == XmlToken::EndElement)
            return;
        if (token != XmlToken::StartElement)
            continue;
        if (input.name() == "rich_text")
            readRun(input, text);
        else
            input.skip();
    }
}

void finishNote(NodeText &text, ImportedItem &item, ImportReport &report)
{
    const NodeText::Run *first = nullptr;
    bool mixed = false;
    for (const NodeText::Run &run : text.runs) {
        // Runs of only spaces and line breaks show no letters in their format.
        if (isBlank(run.text))
            continue;
        if (!first)
            first = &run;
        else if (!(run.format == first->format))
            mixed = true;
    }
    if (first) {
        item.format = noteFormat(first->format);
        // Each note is counted once: as mixed, or as given the one format it has throughout.
        report.mixedFormats += mixed ? 1 : 0;
        report.formats += !mixed && item.format ? 1 : 0;
    }
    std::string joined;
    for (NodeText::Run &run : text.runs) {
        if (joined.empty())
            joined = std::move(run.text);
        else
            joined += run.text;
    }
    std::string &note = item.note;
    if (text.objects.empty()) {
        note = std::move(joined);
        report.latin1 += text.unchecked && toUtf8(note) ? 1 : 0;
        return;
    }
    // Each object sits at a character of the text, counting the objects before it as one each.
    std::stable_sort(
        text.objects.begin(), text.objects.end(),
        [](const NodeText::Object &a, const NodeText::Object &b) { return a.offset < b.offset; });
    note.reserve(joined.size());
    std::size_t copied = 0, at = 0;
    long long characters = 0;
    for (std::size_t i = 0; i < text.objects.size(); ++i) {
        const long long place = text.objects[i].offset - static_cast<long long>(i);
        while (characters < place && at < joined.size()) {
            std::size_t next = at;
            at = keys::decode(joined, next) ? next : at + 1;
            ++characters;
        }
        note.append(joined, copied, at - copied);
        copied = at;
        // An object stands on lines of its own.
        if (!note.empty() && note.back() != '\n')
            note += '\n';
        note += text.objects[i].text;
        if (at < joined.size() && joined[at] != '\n')
            note += '\n';
    }
    note.append(joined, copied, std::string::npos);
    report.latin1 += text.unchecked && toUtf8(note) ? 1 : 0;
}

} // namespace quillet::dbtool
