#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lines the crash writer sends to the test over its standard output, one per line:
//
//   ready <rows>              the store is open and the writer has read <rows> outline rows
//   begin <seq> <write>       the writer is about to make this write
//   ack <seq> <result>        the write returned normally: it is stored (<result> is the number
//                             of rows a subtree deletion removed, 0 for the other writes)
//
// Every text the writer stores in a note begins with the note's tag (see noteTag), and a save
// keeps the text it replaces as a version in the history, so that the test can tell whose
// note each version is.
//   fail <seq> <message>      a write threw; the writer stops
//
// Keys and titles travel as hex so that any byte, spaces and line breaks included, survives.
namespace quillet::crashtest {

// One store write, described completely enough for the test to apply it to its own model.
struct Write
{
    enum class Kind { Text, Add, Delete, Expanded, Settings, Backup, Move, Undelete };
    // Where a move takes its item (moves::Place): the last child of place, just before or
    // after it, or the last top-level item.
    enum class Place : char { Under = 'u', Before = 'b', After = 'a', Top = 't' };

    // A row an undelete puts back, as the outline will show it: its new key, its title, its
    // note's digest (textDigest, or "Null") and its expanded flag.
    struct Row
    {
        std::string key;
        std::string title;
        std::string text;
        std::int64_t expanded = 0;

        bool operator==(const Row &) const = default;
    };

    Kind kind = Kind::Text;
    std::string key;                         // Text, Add, Delete, Move; Undelete: the copy's
    std::string title;                       // Add
    Place place = Place::Top;                // Move; Undelete: Under or Top
    std::string placeKey;                    // Move and Undelete, but to the top
    std::string newKey;                      // Move and Undelete: the key the item takes there
    std::vector<Row> rows;                   // Undelete: in the order they take new IDs
    std::uint64_t textSize = 0;              // Text
    std::uint64_t textHash = 0;              // Text
    std::vector<bool> flags;                 // Expanded: one per row in ID order
    std::array<std::int32_t, 30> settings{}; // Settings: positions 1 to 30

    bool operator==(const Write &) const = default;
};

// The text form of a write, without line break; parseWrite reads it back.
std::string formatWrite(const Write &write);
// Nothing when the text is not a write in the form formatWrite makes.
std::optional<Write> parseWrite(std::string_view text);

// The tag a note's text begins with, "[name]" before a space, or empty when it has none: the same
// for every text stored in one note, and so for its versions, whatever key or ID its row takes.
std::string noteTag(std::string_view text);

// FNV-1a over the bytes: the writer sends it instead of the text, the test compares the stored
// text's hash with it.
std::uint64_t textHash(std::string_view text);

// A stored text as the model holds it: "<size>:<hash>".
std::string textDigest(std::uint64_t size, std::uint64_t hash);
std::string textDigest(std::string_view text);

std::string toHex(std::string_view bytes);
// Nothing for an odd length or a character that is not a hex digit.
std::optional<std::string> fromHex(std::string_view hex);

// Splits at single spaces.
std::vector<std::string_view> words(std::string_view line);

} // namespace quillet::crashtest
