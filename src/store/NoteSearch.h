#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One place the query was found: in a row's title or in its note.
struct SearchHit
{
    std::int64_t id = 0;
    std::string key; // without surrounding spaces, as the outline has it
    bool inNote = false;
    std::string context;      // the title, or the line of the note around the match
    std::size_t hitStart = 0; // where the match is in context, in bytes
    std::size_t hitLength = 0;
};

struct SearchResults
{
    std::vector<SearchHit> hits; // the first ones found, in row order
    std::int64_t total = 0;      // all that were found, listed or not: titles and notes
    std::int64_t titles = 0;     // of them, titles
    std::int64_t matches = 0;    // every match in them, each title and note counting them all
    bool stopped = false;        // the search was stopped before the end
};

struct SearchRequest
{
    std::string query;
    bool notes = true; // titles and notes; false: titles only
    bool matchCase = false;
    std::size_t listed = 500; // at most this many hits are kept; the rest are counted
};

// Searches the titles, and the notes when asked, of every row of the notes database at path,
// on a read-only connection of its own, so that it can run on a thread of its own. Each title
// and each note is one hit, at its first match (see TextMatch), and its matches are counted.
// Setting stop ends the search soon, with what was found so far.
SearchResults searchNotes(const std::string &path, const SearchRequest &request,
                          const std::atomic<bool> &stop);

} // namespace quillet
