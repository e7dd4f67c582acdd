#include "store/Keys.h"

#include "store/ByteScan.h"

#include <algorithm>
#include <optional>

namespace quillet::keys {

std::optional<char32_t> decode(std::string_view text, std::size_t &pos)
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

bool isUtf8(std::string_view text)
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

void appendUtf8(std::string &out, char32_t cp)
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

std::string_view trimmedSpaces(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string trimSpaces(std::string_view text)
{
    return std::string(trimmedSpaces(text));
}

int length(std::string_view key)
{
    int count = 0;
    for (std::size_t pos = 0; pos < key.size(); ++count)
        if (!decode(key, pos))
            return -1;
    return count;
}

std::string parent(std::string_view key)
{
    // The last character starts at the last byte that is not a UTF-8 continuation byte.
    std::size_t last = key.size();
    while (last > 0 && (static_cast<unsigned char>(key[last - 1]) & 0xC0) == 0x80)
        --last;
    if (last == 0)
        return {};
    return std::string(key.substr(0, last - 1));
}

bool followsScheme(std::string_view key)
{
    if (key.empty())
        return false;
    std::size_t pos = 0;
    const std::optional<char32_t> first = decode(key, pos);
    if (!first || *first < U'A' || *first > 255)
        return false;
    for (; pos < key.size(); ++pos)
        if (key[pos] < '1' || key[pos] > '9')
            return false;
    return true;
}

std::optional<int> nextChildNumber(const std::bitset<10> &used)
{
    // A tenth number would take two characters and read as a child of the first child.
    int highest = 0;
    for (int digit = 1; digit <= 9; ++digit)
        if (used.test(static_cast<std::size_t>(digit)))
            highest = digit;
    if (highest < 9)
        return highest + 1;
    for (int digit = 1; digit <= 9; ++digit)
        if (!used.test(static_cast<std::size_t>(digit)))
            return digit;
    return std::nullopt;
}

std::optional<char32_t> nextTopLevelCode(const std::bitset<256> &used, char32_t highest)
{
    if (highest < 255)
        return std::max<char32_t>(highest + 1, U'A');
    for (char32_t code = U'A'; code <= 255; ++code)
        if (!used.test(code))
            return code;
    return std::nullopt;
}

std::string keyOfCode(char32_t code)
{
    if (code < 0x80)
        return std::string(1, static_cast<char>(code));
    // Keys go up to code 255: two bytes at most.
    return {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
}

} // namespace quillet::keys
