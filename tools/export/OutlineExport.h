#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

// Writing the outline out as files other outliners read.
namespace quillet::dbtool {

struct ExportReport
{
    std::size_t items = 0;     // items written
    std::size_t replaced = 0;  // characters XML cannot hold, written as U+FFFD
    std::size_t shortened = 0; // titles cut to fit their names
};

// Writes the whole outline as OPML 2.0: titles as "text", notes as "_note", the open items in
// expansionState. Rows the outline leaves out follow under an item of their own, as in the
// other exports. Reads one note at a time. Throws StoreError.
ExportReport exportOpml(const std::string &path, std::ostream &out);

// Writes the whole outline as a folder of Markdown files at folder, which must not exist: one
// "NN Title.md" per item holding its note as it is, and for an item with children a folder
// "NN Title" holding them and its note as index.md, names cut to keep every path inside within
// markdownnames::kPathBudget. Written beside, synced once, then renamed into place; on failure
// nothing is left. Throws StoreError or std::system_error, and std::runtime_error, before
// writing anything, for an outline too deep for the budget.
ExportReport exportMarkdownFolder(const std::string &path, const std::string &folder);

} // namespace quillet::dbtool
