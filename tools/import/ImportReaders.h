#pragma once

#include "tools/import/ImportedOutline.h"

#include <string>

// The readers of other programs' files. Each reads the whole file into an outline, counting in
// the report what it converted or left out, and throws ImportRefused, saying why (and for text,
// on which line), when the file cannot be read as what it was said to be.
namespace quillet::dbtool {

// OPML: <outline> elements nest as items, "text" the title, "_note" the note; other
// attributes are counted; expansionState opens items.
ImportedOutline readOpml(const std::string &path, ImportReport &report);

// A folder of Markdown files: each .md file an item titled by its name, each folder an item,
// siblings in natural name order.
ImportedOutline readMarkdownFolder(const std::string &path, ImportReport &report);

// A CherryTree document, XML (.ctd) or SQLite (.ctb), unencrypted.
ImportedOutline readCherryTreeXml(const std::string &path, ImportReport &report);
ImportedOutline readCherryTreeSqlite(const std::string &path, ImportReport &report);

} // namespace quillet::dbtool
