#pragma once

#include "tools/import/ImportedOutline.h"

#include <functional>
#include <string>
#include <string_view>

namespace quillet::dbtool {

// The most top-level items a new database holds: the keys "A" to the character of code 255.
inline constexpr std::size_t kTopLevelRoom = 255 - 'A' + 1;
// The most children an item holds: the digits 1 to 9.
inline constexpr std::size_t kChildRoom = 9;

// Groups the children of every item that has more than fit under items titled
// "More (first title … last title)", keeping their order: topRoom for the items at the top,
// kChildRoom below. The groups are balanced, every child at the same depth below its old
// parent, with as few levels as the count needs (a thousand children make three levels).
// Returns the number of groups made.
std::size_t foldIntoKeys(ImportedOutline &outline, std::size_t topRoom);

// Refuses (ImportRefused, naming the first such item) a folded outline that would reach below
// the most levels an outline goes down to, when its top-level items go levelsAbove levels
// below the top.
void checkDepth(const ImportedOutline &outline, int levelsAbove);

// Gives every item its key by the outline's numbering rules and calls visit for each in outline
// order, a parent before its children. The top-level items take "A", "B" and onward when under
// is empty; otherwise they become the children under + "1", under + "2", ... of the item with
// the key under. Expects a folded outline.
void forEachKeyed(const ImportedOutline &outline, const std::string &under,
                  const std::function<void(const std::string &key, const ImportedItem &)> &visit);

} // namespace quillet::dbtool
