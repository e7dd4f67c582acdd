#pragma once

#include "text/ByteScan.h"

#include <cstdint>
#include <string>

// What XML allows where: white space, the characters of names and of a document, and the
// characters at which a run of text stops being copied as it is. The reader's checks of
// well-formedness are made of these.
namespace quillet::xml {

constexpr bool isSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

constexpr bool isNameStart(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

constexpr bool isNameChar(int c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The characters XML allows, of those a reference can name.
constexpr bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Where a run of text stops being copied as it is: markup, a reference, a carriage return (line
// breaks are read as line feeds), a bracket (which may begin "]]>") or another control
// character. Tabs and line feeds are control characters the text keeps.
constexpr bool isTextStop(unsigned char c)
{
    return c == '<' || c == '&' || c == ']' || (c < 0x20 && c != '\n' && c != '\t');
}

// Whether any of eight bytes may be where a run of text stops (a tab or a line feed may be
// among them too).
constexpr bool anyTextStop(std::uint64_t word)
{
    return bytescan::anyByte(word, '<') || bytescan::anyByte(word, '&') ||
           bytescan::anyByte(word, ']') || bytescan::anyControl(word);
}

// Line breaks as XML reads them: CR LF and a lone CR become LF.
void normaliseLineBreaks(std::string &text);

} // namespace quillet::xml
