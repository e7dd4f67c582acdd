#pragma once

#include <optional>
#include <string>
#include <string_view>

// The outline's key scheme: a top-level key is one character from "A" (code 65) up to code
// 255; each level below adds one digit "1" to "9". A key's parent is the key less its last
// character. Keys are stored as UTF-8, so "character" here means a code point.
namespace quillet::keys {

// Decodes the character starting at text[pos] and advances pos past it. Nothing, and pos
// unchanged, for anything that is not UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> decode(std::string_view text, std::size_t &pos);

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

} // namespace quillet::keys
