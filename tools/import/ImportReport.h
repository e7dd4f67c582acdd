#pragma once

#include "text/InputRefused.h"

#include <cstddef>
#include <string>
#include <vector>

// What an import says back: its report, or its refusal.
namespace quillet::dbtool {

// The file cannot be imported as it is: the reason, and for text the line. Nothing was written.
// The type the text readers refuse a document with, so that their refusals reach the import's
// caller as they are.
using ImportRefused = InputRefused;

// What an import did besides making items, for its report.
struct ImportReport
{
    std::size_t items = 0;             // items read from the file
    std::size_t groups = 0;            // "More (...)" items made to fit the key scheme
    std::size_t images = 0;            // images written as the line "[image]"
    std::size_t attachments = 0;       // attached files written as the line "[file NAME]"
    std::size_t tables = 0;            // tables written as tab-separated lines
    std::size_t codeBoxes = 0;         // code boxes whose text was kept in place
    std::size_t formulas = 0;          // formula boxes whose LaTeX source was kept in place
    std::size_t anchors = 0;           // anchors, which show nothing, left out
    std::size_t frontMatterTitles = 0; // titles taken from a Markdown file's front matter
    std::size_t mixedFormats = 0;      // notes of several formats, given their first run's
    std::size_t formats = 0;           // notes of one format throughout, given it
    std::size_t latin1 = 0; // files or names with bytes that are not UTF-8, read as Latin-1
    std::size_t unknownAttributes = 0;
    std::string into;                 // the item the outline went under, or empty
    std::vector<std::string> skipped; // each "what: why"
};

} // namespace quillet::dbtool
