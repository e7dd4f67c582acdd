#include "text/Utf8.h"

#include "text/ByteScan.h"

namespace quillet::utf8 {

std::optional<char32_t> decodeLonger(std::string_view text, std::size_t &pos)
{
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char first = byte(pos);
    int extra = 0;
    char32_t cp = 0;
    if (first < 0x80) {
        cp = first;
    } else if ((first & 0xE0) == 0xC0) {
        extra = 1;
        cp = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        extra = 2;
        cp = first & 0x0F;
    } else if ((first & 0xF8) == 0xF0) {
        extra = 3;
        cp = first & 0x07;
    } else {
        return std::nullopt;
    }
    if (pos + extra >= text.size())
        return std::nullopt;
    for (int i = 1; i <= extra; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past the last code point are not UTF-8: "\xC1\x81"
    // must not pass for "A".
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return std::nullopt;
    pos += 1 + extra;
    return cp;
}

bool isValid(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text.size() - pos >= 8) {
            const std::uint64_t word = bytescan::wordAt(text.data() + pos);
            if ((word & bytescan::kHighBits) == 0) {
                pos += 8;
                continue;
            }
            if (const int whole = bytescan::asciiOrTwoByteCharacters(word); whole > 0) {
                pos += static_cast<std::size_t>(whole);
                continue;
            }
        }
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        if (c < 0x80) {
            ++pos;
        } else if (c >= 0xC2 && c <= 0xDF && pos + 1 < text.size() &&
                   (static_cast<unsigned char>(text[pos + 1]) & 0xC0) == 0x80) {
            pos += 2;
        } else if (!decode(text, pos)) {
            return false;
        }
    }
    return true;
}

void append(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace quillet::utf8
