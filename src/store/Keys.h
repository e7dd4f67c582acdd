#pragma once

#include "text/Utf8.h"

#include <bitset>
#include <optional>
#include <string>
#include <string_view>

// The outline's key scheme: a top-level key is one character from "A" (code 65) up to code
// 255; each level below adds one digit "1" to "9". A key's parent is the key less its last
// character. Keys are stored as UTF-8, so "character" here means a code point.
namespace quillet::keys {

// The most items the outline can hold: the outline's indices are 16-bit numbers.
inline constexpr int kMaxItems = 32766;
// The most levels the outline is made deeper to: a key of at most this many characters. Rows
// made by the program, its tool and its imports stay within it; a file already deeper still
// opens, exports and passes its check.
inline constexpr int kMaxLevels = 100;

// Keys are read by text's UTF-8 rules (text/Utf8.h); these are their names in the key code.
inline std::optional<char32_t> decode(std::string_view text, std::size_t &pos)
{
    return utf8::decode(text, pos);
}
inline void appendUtf8(std::string &out, char32_t cp)
{
    utf8::append(out, cp);
}
inline bool isUtf8(std::string_view text)
{
    return utf8::isValid(text);
}

// Removes leading and trailing spaces (code 32 only; tabs and line breaks stay).
std::string trimSpaces(std::string_view text);
std::string_view trimmedSpaces(std::string_view text);

// Number of code points, or -1 when the text is not valid UTF-8.
int length(std::string_view key);

// The key of an item's parent: the key less its last character; empty for a top-level key
// (one character). Characters are told apart by their UTF-8 lead bytes, so that a key that is
// not valid UTF-8 still has one parent.
std::string parent(std::string_view key);

// True when the key follows the scheme above.
bool followsScheme(std::string_view key);

// How a new item is numbered. Numbers are never reused while their item exists and never
// renumbered: a new item takes the highest number among its future siblings plus one (for a
// top-level item, the character one above the highest first character of any key). Only where
// that would pass 9 (or code 255) does it take the lowest free number (or the lowest free
// character from "A").

// The number of a new child, given the numbers its future siblings hold (bit d set for d);
// nothing when all nine are in use.
std::optional<int> nextChildNumber(const std::bitset<10> &used);

// The code of a new top-level key, given the first characters of the keys there are (bit c set
// for a code c up to 255) and the highest of them, which may lie past 255; nothing when every
// code from "A" to 255 is in use.
std::optional<char32_t> nextTopLevelCode(const std::bitset<256> &used, char32_t highest);

// The one-character key of a code, as UTF-8.
std::string keyOfCode(char32_t code);

} // namespace quillet::keys
