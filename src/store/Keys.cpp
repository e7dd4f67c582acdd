#include "store/Keys.h"

#include <algorithm>
#include <optional>

namespace quillet::keys {

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
