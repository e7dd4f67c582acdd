#include "store/NoteSearch.h"

#include "store/Keys.h"
#include "store/Sqlite.h"
#include "text/TextMatch.h"

#include <sqlite3.h>

#include <algorithm>

namespace quillet {

namespace {

// The start of the character at or before pos.
std::size_t characterStart(std::string_view text, std::size_t pos)
{
    while (pos > 0 && pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
        --pos;
    return pos;
}

// The line around a match, cut to about kAround bytes on each side, with "…" where cut.
SearchHit noteHit(std::string_view note, TextMatch::Found found)
{
    constexpr std::size_t kAround = 60;
    const std::size_t lineStart = [&] {
        const std::size_t newline = note.rfind('\n', found.start == 0 ? 0 : found.start - 1);
        return found.start == 0 || newline == std::string_view::npos ? 0 : newline + 1;
    }();
    const std::size_t lineEnd = std::min(note.find('\n', found.start), note.size());
    const std::size_t from =
        found.start - lineStart > kAround ? characterStart(note, found.start - kAround) : lineStart;
    const std::size_t matchEnd = found.start + found.length;
    const std::size_t to =
        lineEnd - matchEnd > kAround ? characterStart(note, matchEnd + kAround) : lineEnd;
    SearchHit hit;
    hit.inNote = true;
    const std::string ellipsis = "\u2026";
    if (from > lineStart)
        hit.context = ellipsis;
    hit.hitStart = hit.context.size() + (found.start - from);
    hit.hitLength = found.length;
    hit.context += note.substr(from, to - from);
    if (to < lineEnd)
        hit.context += ellipsis;
    return hit;
}

} // namespace

SearchResults searchNotes(const std::string &path, const SearchRequest &request,
                          const std::atomic<bool> &stop)
{
    SearchResults results;
    const TextMatch match(request.query, request.matchCase);
    if (match.empty())
        return results;

    Connection connection(path, Connection::Mode::ReadOnly);
    // The engine asks now and then whether to go on, also in the middle of one row.
    connection.stopWhen(stop, 1000);
    Statement scan(connection, request.notes
                                   ? "SELECT ID, Kleidi, MyText, Keimeno FROM mynodes ORDER BY ID"
                                   : "SELECT ID, Kleidi, MyText FROM mynodes ORDER BY ID");
    std::string_view key;
    // Every match after the first, not overlapping it, in the same text.
    const auto countMatches = [&](std::string_view text, TextMatch::Found first) {
        std::int64_t count = 1;
        for (std::optional<TextMatch::Found> next = match.find(text, first.start + first.length);
             next; next = match.find(text, next->start + std::max<std::size_t>(next->length, 1)))
            ++count;
        results.matches += count;
    };
    // Past the list's limit a hit is only counted: its line is not cut out.
    const auto found = [&](std::int64_t id, const auto &describe) {
        ++results.total;
        if (results.hits.size() >= request.listed)
            return;
        SearchHit hit = describe();
        hit.id = id;
        hit.key = keys::trimmedSpaces(key);
        results.hits.push_back(std::move(hit));
    };
    try {
        while (!stop && scan.step()) {
            const std::int64_t id = scan.columnInt64(0);
            key = scan.columnBytes(1);
            const std::string_view shownTitle = keys::trimmedSpaces(scan.columnBytes(2));
            if (const std::optional<TextMatch::Found> hit = match.find(shownTitle)) {
                ++results.titles;
                countMatches(shownTitle, *hit);
                found(id, [&] {
                    SearchHit titleHit;
                    titleHit.context = shownTitle;
                    titleHit.hitStart = hit->start;
                    titleHit.hitLength = hit->length;
                    return titleHit;
                });
            }
            if (!request.notes)
                continue;
            const std::string_view text = scan.columnBytes(3);
            if (const std::optional<TextMatch::Found> hit = match.find(text)) {
                countMatches(text, *hit);
                found(id, [&] { return noteHit(text, *hit); });
            }
        }
    } catch (const StoreError &) {
        // Stopped through the progress handler: what was found stands.
        if (!stop)
            throw;
    }
    results.stopped = stop;
    return results;
}

} // namespace quillet
