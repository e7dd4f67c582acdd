#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How items of a Markdown folder are named: "07 Title.md" for an item, "07 Title" for the
// folder of an item with children, the title written with %XX for every byte a file name
// cannot hold or would change (and for "%" itself), so that the name reads back as the title.
namespace quillet::dbtool::markdownnames {

// The longest name a folder entry takes, in bytes.
inline constexpr std::size_t kLongestName = 255;

// The name of the position-th item (from 1) among its siblings, ".md" added for a file.
// A title too long for a file name is cut at a character; shortened tells.
std::string nameOf(std::size_t position, std::string_view title, bool file, bool &shortened);

// Whether the name starts with an order number as nameOf writes it: two or more digits, then
// one space.
bool hasOrderNumber(std::string_view name);

// A name read back as a title: %XX decoded, and the order number dropped when asked.
std::string titleOf(std::string_view name, bool dropOrderNumber);

// Name order as people count: runs of digits compare by their value, so "2 x" comes before
// "10 x"; other bytes compare as they are.
bool naturalLess(std::string_view a, std::string_view b);

} // namespace quillet::dbtool::markdownnames
