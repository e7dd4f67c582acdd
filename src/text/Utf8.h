#pragma once

#include <optional>
#include <string>
#include <string_view>

// UTF-8 as every reader and the key scheme take it: strictly, so that one text has one reading.
namespace quillet::utf8 {

// Decodes the character starting at text[pos] and advances pos past it. Nothing, and pos
// unchanged, for anything that is not UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> decode(std::string_view text, std::size_t &pos);
// Appends the UTF-8 form of the character cp.
void append(std::string &out, char32_t cp);
// Whether the whole text is UTF-8 by decode's rule. ASCII and two-byte characters (Greek among
// them), most of any note, are checked eight bytes at a time where they can be.
bool isValid(std::string_view text);

} // namespace quillet::utf8
