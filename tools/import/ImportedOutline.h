#pragma once

#include "store/NoteStore.h"
#include "text/InputRefused.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillet::dbtool {

// The file cannot be imported as it is: the reason, and for text the line. Nothing was written.
// The type the text readers refuse a document with, so that their refusals reach the import's
// caller as they are.
using ImportRefused = InputRefused;

// One item read from another program's file, before it has a key.
struct ImportedItem
{
    std::string title;
    std::string note;
    std::optional<NoteFormat> format; // nothing: the note has no format of its own
    bool expanded = false;
    std::vector<std::size_t> children; // indices into ImportedOutline::items, in order
    std::int64_t place = -1;           // where the reader found it (see ImportedOutline)
    int depth = 0;                     // 1 for a top-level item, before any grouping
};

// An outline read from a file. items[0] stands above the top-level items and is not imported;
// the items are kept in one vector and refer to each other by index, so that outlines of any
// depth are walked without recursion.
struct ImportedOutline
{
    std::vector<ImportedItem> items = std::vector<ImportedItem>(1);

    // How a reader names the place it found an item at (a line, a file, a node): place is
    // the number the reader gave the item. Unset, items are named by their titles alone.
    std::function<std::string(std::int64_t place)> placeName;

    // Adds an item as the last child of parent and returns its index. Throws ImportRefused
    // past the most items the outline holds, and past the most levels an outline goes down to
    // (keys::kMaxLevels), naming the item's place.
    std::size_t add(std::size_t parent, std::string title, std::string note = {},
                    std::int64_t place = -1);
    // The number of items, the one above the top level left out.
    std::size_t size() const { return items.size() - 1; }
    // The refusal of an item too deep: path holds the items from the top down to it.
    ImportRefused tooDeep(const std::vector<std::size_t> &path, int depth) const;
};

// What an import did besides making items, for its report.
struct ImportReport
{
    std::size_t items = 0;             // items read from the file
    std::size_t groups = 0;            // "More (...)" items made to fit the key scheme
    std::size_t images = 0;            // images written as the line "[image]"
    std::size_t attachments = 0;       // attached files written as the line "[file NAME]"
    std::size_t tables = 0;            // tables written as tab-separated lines
    std::size_t codeBoxes = 0;         // code boxes whose text was kept in place
    std::size_t formulas = 0;          // formula boxes whose LaTeX source was kept in place
    std::size_t anchors = 0;           // anchors, which show nothing, left out
    std::size_t frontMatterTitles = 0; // titles taken from a Markdown file's front matter
    std::size_t mixedFormats = 0;      // notes of several formats, given their first run's
    std::size_t formats = 0;           // notes of one format throughout, given it
    std::size_t latin1 = 0; // files or names with bytes that are not UTF-8, read as Latin-1
    std::size_t unknownAttributes = 0;
    std::string into;                 // the item the outline went under, or empty
    std::vector<std::string> skipped; // each "what: why"
};

// Text as UTF-8: valid sequences as they are, every other byte read as Latin-1. Returns
// whether any byte had to be read so.
bool toUtf8(std::string &text);

} // namespace quillet::dbtool
