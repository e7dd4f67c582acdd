#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// The largest outline the notes window holds.
inline constexpr int kMaxOutlineItems = 32766;

// Writes a new notes database at path holding an outline of exactly `items` rows, the same for
// the same seed on every machine: about 50 top-level items ("A", "B", ... by character code),
// up to 9 children per item and 5 levels, every parent's row before its children's rows, titles
// "Item <ID>", notes of 600 to 1,400 bytes of Latin and Greek UTF-8 text, about a third of the
// items with children stored expanded, one row in ten with a stored format, and the 30 settings
// rows of a window at its design size with the first item selected.
//
// Throws std::invalid_argument for items outside 0 to kMaxOutlineItems, std::runtime_error when
// something already exists at path (a generator must never write over someone's notes), and
// StoreError when SQLite refuses.
void generateOutline(const std::string &path, int items, std::uint32_t seed);

// The same outline shape, of `items` rows in all, with one top-level item, "B", second in the
// file after "A"'s subtree, holding subtreeItems rows with its subtree: the other rows spread
// over the remaining top-level items "A", "C", ... as above. Throws as generateOutline does,
// and std::invalid_argument for a subtree that the five levels cannot hold or that leaves
// too few rows for the other top-level items.
void generateOutlineWithSubtree(const std::string &path, int items, int subtreeItems,
                                std::uint32_t seed);

// Checks a generated database against what the benchmarks assume of it (the number of items,
// at most 5 levels, every parent before its children, only items with children expanded,
// notes of 600 to 1,400 bytes, 30 settings), and describes it on one line of standard output.
bool checkGenerated(const std::string &path, int items);

} // namespace quillet
