#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// How items of a Markdown folder are named: "07 Title.md" for an item, "07 Title" for the
// folder of an item with children, the title written with %XX for every byte a file name
// cannot hold or would change (and for "%" itself), so that the name reads back as the title.
namespace quillet::dbtool::markdownnames {

// The longest name a folder entry takes, in bytes.
inline constexpr std::size_t kLongestName = 255;
// The bytes the names along any path inside an exported folder share, the separators
// included: well under the longest path a program may open (4,096 bytes on Linux), so that
// the folder still opens by name a few levels down another.
inline constexpr std::size_t kPathBudget = 3000;
// The shortest name an item is given: its number, ".md" and a few bytes of its title.
inline constexpr std::size_t kShortestName = 16;

// The longest name of an item through which the deepest path inside the folder has the given
// number of names (an item with children counts its own index.md below it): the budget
// shared evenly, one byte of each share kept for the separator, and no more than a folder
// entry takes. Nothing when that is shorter than kShortestName: the outline is too deep.
std::optional<std::size_t> longestName(std::size_t components);

// The name of the position-th item (from 1) among its siblings, ".md" added for a file, of at
// most longest bytes. A title too long for that is cut at a character; shortened tells.
std::string nameOf(std::size_t position, std::string_view title, bool file, std::size_t longest,
                   bool &shortened);

// Whether the name starts with an order number as nameOf writes it: two or more digits, then
// one space.
bool hasOrderNumber(std::string_view name);

// A name read back as a title: %XX decoded, and the order number dropped when asked.
std::string titleOf(std::string_view name, bool dropOrderNumber);

// Name order as people count: runs of digits compare by their value, so "2 x" comes before
// "10 x"; other bytes compare as they are.
bool naturalLess(std::string_view a, std::string_view b);

} // namespace quillet::dbtool::markdownnames
