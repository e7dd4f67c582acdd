#pragma once

#include "tools/import/ImportedOutline.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillet::dbtool {

class XmlInput;

// The format attributes of one run of a CherryTree node's rich text that the note's format can
// take.
struct RunFormat
{
    std::string family, scale, foreground, background, weight, style;
    bool operator==(const RunFormat &) const = default;
};

// A node's text as read: its runs of rich text, and what sits between them (code boxes,
// formula boxes, tables, images) as the lines the note will hold, at their places.
struct NodeText
{
    struct Run
    {
        std::string text;
        RunFormat format;
    };
    struct Object
    {
        long long offset = 0; // in characters, each object before it counting as one
        std::string text;
    };
    std::vector<Run> runs;
    std::vector<Object> objects;
    // Some of it was not read from XML, whose reading checks that it is UTF-8.
    bool unchecked = false;
};

// Reads the <rich_text> element the input is at.
void readRun(XmlInput &input, NodeText &text);
// Reads the <table> element the input is at as tab-separated lines, the header row (which the
// document keeps last) first. Counts the table.
std::string readTable(XmlInput &input, ImportReport &report);
// The file name of every formula box: the document keeps a formula's LaTeX source where an
// image keeps its picture, under this one name.
inline constexpr std::string_view kFormulaFile = "__ct_special.tex";
inline bool isFormula(std::string_view fileName)
{
    return fileName == kFormulaFile;
}
// What an image stands for in the note: an image's line, for an attached file "[file NAME]",
// for a formula box its source (read only for one) as its own lines; nothing for an anchor,
// which shows nothing. Counts each of them.
std::optional<std::string> imageLine(const std::string &anchor, const std::string &fileName,
                                     std::string formulaSource, ImportReport &report);
// Reads the runs of a node's rich text held as an XML document (a <node> of <rich_text>s).
void readRichDocument(std::string_view xml, const std::string &where, NodeText &text);

// Gives the item the note the node's text makes: the runs joined as plain text, each object's
// lines put in at its place; and the format of the runs when they share one, counted as a
// format (when they do not, the first run's, counted as a mixed format only).
void finishNote(NodeText &text, ImportedItem &item, ImportReport &report);

} // namespace quillet::dbtool
