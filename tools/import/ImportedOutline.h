#pragma once

#include "store/NoteStore.h"
#include "tools/import/ImportReport.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillet::dbtool {

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

// Text as UTF-8: valid sequences as they are, every other byte read as Latin-1. Returns
// whether any byte had to be read so.
bool toUtf8(std::string &text);

} // namespace quillet::dbtool
