#pragma once

#include <optional>
#include <string>
#include <string_view>

// UTF-8 as every reader and the key scheme take it: strictly, so that one text has one reading.
namespace quillet::utf8 {

// decode for characters of three and four bytes, and for what is not UTF-8.
std::optional<char32_t> decodeLonger(std::string_view text, std::size_t &pos);

// Decodes the character starting at text[pos] and advances pos past it. Nothing, and pos
// unchanged, for anything that is not UTF-8 (overlong forms and surrogates included).
// ASCII and two-byte characters (Greek among them), most of any note, are decoded here, where
// the writers that go through a text a character at a time can have them without a call.
inline std::optional<char32_t> decode(std::string_view text, std::size_t &pos)
{
    const auto first = static_cast<unsigned char>(text[pos]);
    if (first < 0x80) {
        ++pos;
        return first;
    }
    if (first >= 0xC2 && first <= 0xDF && pos + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[pos + 1]);
        if ((next & 0xC0) == 0x80) {
            pos += 2;
            return static_cast<char32_t>(((first & 0x1F) << 6) | (next & 0x3F));
        }
    }
    return decodeLonger(text, pos);
}
// Appends the UTF-8 form of the character cp.
void append(std::string &out, char32_t cp);
// Whether the whole text is UTF-8 by decode's rule. ASCII and two-byte characters (Greek among
// them), most of any note, are checked eight bytes at a time where they can be.
bool isValid(std::string_view text);

} // namespace quillet::utf8
