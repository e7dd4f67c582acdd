#include "tools/import/FrontMatter.h"

#include "text/Utf8.h"

#include <charconv>
#include <cstdint>

namespace quillet::dbtool {

namespace {

// Cuts the next line off text, without its line break ("\n" or "\r\n"); nothing at the end.
std::optional<std::string_view> nextLine(std::string_view &text)
{
    if (text.empty())
        return std::nullopt;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == text.npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Whether the line is one of the markers that open and close front matter.
bool isMarker(std::string_view line)
{
    return line.starts_with("---") && trimmed(line.substr(3)).empty();
}

// What may follow a quoted scalar on its line: nothing, or a comment after a blank.
bool endsCleanly(std::string_view rest)
{
    if (rest.empty())
        return true;
    const std::string_view after = trimmed(rest);
    return isBlank(rest.front()) && (after.empty() || after.front() == '#');
}

std::optional<std::string> singleQuoted(std::string_view value)
{
    std::string out;
    for (std::size_t at = 1; at < value.size(); ++at) {
        if (value[at] != '\'') {
            out += value[at];
            continue;
        }
        if (at + 1 < value.size() && value[at + 1] == '\'') {
            out += '\'';
            ++at;
            continue;
        }
        if (!endsCleanly(value.substr(at + 1)))
            return std::nullopt;
        return out;
    }
    return std::nullopt; // it goes on over the next lines
}

// The character of an escape \xXX, \uXXXX or \UXXXXXXXX, digits at value[at].
std::optional<char32_t> escapedCode(std::string_view value, std::size_t at, std::size_t digits)
{
    if (at + digits > value.size())
        return std::nullopt;
    std::uint32_t code = 0;
    const char *const first = value.data() + at;
    const auto [end, error] = std::from_chars(first, first + digits, code, 16);
    if (error != std::errc() || end != first + digits || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    return static_cast<char32_t>(code);
}

std::optional<std::string> doubleQuoted(std::string_view value)
{
    static constexpr std::string_view kFrom = "0abtnvfre \"/\\\t";
    static constexpr std::string_view kTo("\0\a\b\t\n\v\f\r\x1b \"/\\\t", 14);
    std::string out;
    for (std::size_t at = 1; at < value.size(); ++at) {
        const char c = value[at];
        if (c == '"')
            return endsCleanly(value.substr(at + 1)) ? std::optional(out) : std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++at == value.size())
            return std::nullopt; // a line broken by an escape goes on over the next line
        const char e = value[at];
        if (const std::size_t plain = kFrom.find(e); plain != kFrom.npos) {
            out += kTo[plain];
            continue;
        }
        std::optional<char32_t> code;
        if (e == 'N')
            code = 0x85;
        else if (e == '_')
            code = 0xA0;
        else if (e == 'L')
            code = 0x2028;
        else if (e == 'P')
            code = 0x2029;
        else if (const std::size_t digits = e == 'x' ? 2 : e == 'u' ? 4 : e == 'U' ? 8 : 0) {
            code = escapedCode(value, at + 1, digits);
            at += digits;
        }
        if (!code)
            return std::nullopt; // no escape of YAML's
        utf8::append(out, *code);
    }
    return std::nullopt;
}

// A plain scalar that stays on its line: it starts with no indicator, holds no ": " (a
// mapping), and a comment ends it.
std::optional<std::string> plain(std::string_view value)
{
    static constexpr std::string_view kIndicators = "[]{},#&*!|>%@`";
    const char first = value.front();
    if (kIndicators.find(first) != kIndicators.npos)
        return std::nullopt;
    if ((first == '-' || first == '?' || first == ':') && (value.size() == 1 || isBlank(value[1])))
        return std::nullopt;
    for (std::size_t at = 1; at < value.size(); ++at)
        if (value[at] == '#' && isBlank(value[at - 1])) {
            value = trimmed(value.substr(0, at));
            break;
        }
    if (value.ends_with(':') || value.find(": ") != value.npos || value.find(":\t") != value.npos)
        return std::nullopt;
    if (value == "~" || value == "null" || value == "Null" || value == "NULL")
        return std::nullopt;
    return std::string(value);
}

} // namespace

std::optional<std::string> frontMatterTitle(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::optional<std::string_view> opening = nextLine(text);
    if (!opening || !isMarker(*opening))
        return std::nullopt;
    std::optional<std::string_view> title;
    bool open = false;      // lines indented below the title's would still be its value
    bool continued = false; // and one was
    for (std::optional<std::string_view> line; (line = nextLine(text));) {
        if (isMarker(*line)) {
            const std::string_view value = title ? trimmed(*title) : std::string_view();
            if (value.empty() || continued)
                return std::nullopt;
            std::optional<std::string> read = value.front() == '\''  ? singleQuoted(value)
                                              : value.front() == '"' ? doubleQuoted(value)
                                                                     : plain(value);
            if (read && read->empty())
                return std::nullopt;
            return read;
        }
        const std::string_view inside = trimmed(*line);
        if (inside.empty() || inside.front() == '#')
            continue;
        if (isBlank(line->front())) {
            continued = continued || open;
            continue;
        }
        open = false;
        if (!title && line->starts_with("title:") && (line->size() == 6 || isBlank((*line)[6]))) {
            title = line->substr(6);
            open = true;
        }
    }
    return std::nullopt; // never closed: not front matter
}

} // namespace quillet::dbtool
