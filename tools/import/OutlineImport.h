#pragma once

#include "tools/import/ImportReport.h"

#include <iosfwd>
#include <optional>
#include <string>

// Bringing in the outline of another outliner's file.
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

} // namespace quillet::dbtool
