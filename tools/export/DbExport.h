#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace quillet::dbtool {

enum class ExportFormat { Markdown, Html, Text, Json };

// Writes the database to out. Markdown, HTML and text hold the outline in outline order, each
// item's title and note (HTML with the note's format as CSS), then any rows the program leaves
// out of the outline; JSON holds every column of every row and the settings, losslessly (see
// archive::write). Reads one note at a time. Throws StoreError.
// Returns how many characters the text formats (Markdown, HTML, text) wrote as U+FFFD: bytes
// that are not UTF-8 and control characters other than tab and line breaks, which a file that
// says it is UTF-8 text cannot hold. JSON keeps every byte and replaces nothing.
// JSON with withHistory also holds every kept version of the notes (see archive::write); without
// it, the JSON is as it always was.
std::size_t exportDatabase(const std::string &path, ExportFormat format, std::ostream &out,
                           bool withHistory = false);

} // namespace quillet::dbtool
