#pragma once

#include "tools/import/ImportedOutline.h"

#include <iosfwd>
#include <optional>
#include <string>

// Moving notes in from other outliners' files and out to files they read.
namespace quillet::dbtool {

enum class ImportFormat { Opml, Markdown, CherryTreeXml, CherryTreeSqlite };

// The format a file's name tells (a folder is Markdown); nothing when the name tells none.
// Throws ImportRefused for an encrypted CherryTree document, which cannot be read.
std::optional<ImportFormat> formatOfName(const std::string &file);

// Imports the outline in file. When nothing is at path, makes a new notes database there (the
// settings as init makes them, the first top-level item "A"), in one transaction, removed again
// on any failure. When path is a notes database, adds the outline under one new top-level item,
// "Imported from <file name>", in one transaction; refused while Quillet has it open. Items
// beyond what the key scheme holds are grouped (see foldIntoKeys). Throws ImportRefused,
// FileExists, StoreError or std::runtime_error, having changed nothing.
ImportReport importOutline(const std::string &file, const std::string &path,
                           std::optional<ImportFormat> format);

// The report of an import, as lines for a person.
std::string describe(const ImportReport &report, const std::string &file, const std::string &path);

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
