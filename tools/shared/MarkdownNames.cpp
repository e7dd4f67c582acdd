#include "tools/shared/MarkdownNames.h"

#include "store/Keys.h"

#include <algorithm>
#include <cstdio>

namespace quillet::dbtool::markdownnames {

namespace {

// Bytes a name does not hold as they are: the separator, characters other systems refuse in
// names, control characters, and "%" so that every "%" in a name starts an escape.
bool needsEscape(unsigned char c)
{
    static constexpr std::string_view kReserved = "/\\:*?\"<>|%";
    return c < 0x20 || c == 0x7F || kReserved.find(static_cast<char>(c)) != kReserved.npos;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<std::size_t> longestName(std::size_t components)
{
    const std::size_t share = kPathBudget / std::max<std::size_t>(components, 1) - 1;
    if (share < kShortestName)
        return std::nullopt;
    return std::min(share, kLongestName);
}

std::string nameOf(std::size_t position, std::string_view title, bool file, std::size_t longest,
                   bool &shortened)
{
    char number[24];
    std::snprintf(number, sizeof number, "%02zu ", position);
    std::string name = number;
    const std::size_t room = longest - (file ? 3 : 0);
    shortened = false;
    for (std::size_t pos = 0; pos < title.size();) {
        std::size_t next = pos;
        std::string piece;
        const unsigned char c = static_cast<unsigned char>(title[pos]);
        if (c >= 0x80 && keys::decode(title, next)) {
            piece = title.substr(pos, next - pos);
        } else {
            next = pos + 1;
            if (c >= 0x80 || needsEscape(c)) {
                char escaped[4];
                std::snprintf(escaped, sizeof escaped, "%%%02X", c);
                piece = escaped;
            } else {
                piece = std::string(1, static_cast<char>(c));
            }
        }
        if (name.size() + piece.size() > room) {
            shortened = true;
            break;
        }
        name += piece;
        pos = next;
    }
    return file ? name + ".md" : name;
}

bool hasOrderNumber(std::string_view name)
{
    std::size_t digits = 0;
    while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9')
        ++digits;
    return digits >= 2 && digits < name.size() && name[digits] == ' ';
}

std::string titleOf(std::string_view name, bool dropOrderNumber)
{
    if (dropOrderNumber && hasOrderNumber(name))
        name.remove_prefix(name.find(' ') + 1);
    std::string title;
    title.reserve(name.size());
    for (std::size_t pos = 0; pos < name.size(); ++pos) {
        if (name[pos] == '%' && pos + 2 < name.size() && hexValue(name[pos + 1]) >= 0 &&
            hexValue(name[pos + 2]) >= 0) {
            title += static_cast<char>(hexValue(name[pos + 1]) * 16 + hexValue(name[pos + 2]));
            pos += 2;
        } else {
            title += name[pos];
        }
    }
    return title;
}

bool naturalLess(std::string_view a, std::string_view b)
{
    const auto isDigit = [](char c) {
        return c >= '0' && c <= '9';
    };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare the runs by value: without their leading zeros, the longer is larger.
            std::size_t endA = i, endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            std::string_view runA = a.substr(i, endA - i), runB = b.substr(j, endB - j);
            runA.remove_prefix(std::min(runA.find_first_not_of('0'), runA.size()));
            runB.remove_prefix(std::min(runB.find_first_not_of('0'), runB.size()));
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
            if (runA != runB)
                return runA < runB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    // Equal by value ("01" and "1"): the bytes decide, so that the order is total.
    return a < b;
}

} // namespace quillet::dbtool::markdownnames
