#pragma once

#include "notes/outline/OutlineLoader.h"
#include "store/NoteStore.h"

#include <QString>

#include <vector>

namespace quillet {

class OutlineModel;

// Of the rows a delete takes (every row whose key begins with the item's), those the outline
// does not show: rows the loader left out (a second row with a key, though its key is in the
// outline), and rows whose key has no node (added since by another program).
std::vector<KeyedRow> rowsNotShown(std::vector<KeyedRow> rows, const OutlineModel &outline,
                                   const std::vector<SkippedRow> &skipped);

// The question asked before an item is deleted: "Delete item : " and its path; when it holds
// items (held: those the outline shows under it), a line that says how many go with it and how
// they come back; and when the delete takes rows the outline does not show, a line that says
// how many and names up to five of their keys in ID order.
QString deleteQuestion(const QString &fullPath, std::size_t held,
                       const std::vector<KeyedRow> &notShown);

} // namespace quillet
