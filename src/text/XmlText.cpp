#include "text/ByteScan.h"
#include "text/Utf8.h"
#include "text/XmlReader.h"
#include "text/XmlRules.h"

#include <algorithm>

// The XML reader's text: characters between tags, attribute values and references, each checked
// for what XML allows in it.

namespace quillet {

namespace {

using bytescan::anyByte;
using bytescan::anyControl;
using bytescan::wordAt;

} // namespace

void XmlReader::checkCharacters(std::string_view text) const
{
    if (!utf8::isValid(text))
        malformed("a byte that is not UTF-8 (a document in another encoding must declare it)");
    std::size_t at = 0;
    while (at < text.size()) {
        if (text.size() - at >= 8 && !anyControl(wordAt(text.data() + at))) {
            at += 8;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[at++]);
        if (c < 0x20 && !xml::isSpace(c))
            malformed("the control character of code " + std::to_string(c) +
                      ", which XML does not allow");
    }
}

void XmlReader::readReference(std::string &out)
{
    // At '&'.
    ++m_pos;
    if (peekByte() == '#') {
        ++m_pos;
        const bool hex = peekByte() == 'x';
        m_pos += hex ? 1 : 0;
        char32_t code = 0;
        std::string digits; // as written, for the message
        for (;;) {
            const int c = peekByte();
            if (c == ';')
                break;
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            if (digit < 0)
                malformed("a character reference that is not a number ending in ';'");
            code = code * (hex ? 16 : 10) + static_cast<char32_t>(digit);
            if (code > 0x10FFFF)
                malformed("a character reference past the last character");
            digits += static_cast<char>(c);
            ++m_pos;
        }
        ++m_pos;
        if (digits.empty())
            malformed("a character reference that is not a number ending in ';'");
        if (!xml::isXmlChar(code))
            malformed("a character reference to a character XML does not allow (&#" +
                      std::string(hex ? "x" : "") + digits + ";)");
        utf8::append(out, code);
        return;
    }
    const std::string name = readName("a reference's name after '&'");
    if (peekByte() != ';')
        malformed("the reference &" + name + " does not end in ';'");
    ++m_pos;
    static const std::pair<std::string_view, char> kPredefined[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto &[predefined, c] : kPredefined)
        if (name == predefined) {
            out += c;
            return;
        }
    malformed("the entity &" + name + "; is not one XML defines, and no other is read");
}

void XmlReader::readAttributeValue(std::string &out)
{
    const int quote = peekByte();
    if (quote != '"' && quote != '\'')
        malformed("an attribute's value must be in quotes");
    ++m_pos;
    out.clear();
    for (;;) {
        if (m_pos == m_end && !refill())
            malformed("it ends inside an attribute's value");
        const char *const from = m_data + m_pos;
        const char *const end = m_data + m_end;
        const char *p = from;
        while (end - p >= 8) {
            const std::uint64_t word = wordAt(p);
            if (anyByte(word, static_cast<unsigned char>(quote)) || anyByte(word, '<') ||
                anyByte(word, '&') || anyControl(word))
                break;
            p += 8;
        }
        while (p < end && *p != quote && *p != '<' && *p != '&' &&
               static_cast<unsigned char>(*p) >= 0x20)
            ++p;
        out.append(from, p);
        m_pos = static_cast<std::size_t>(p - m_data);
        if (p == end)
            continue;
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == quote) {
            ++m_pos;
            break;
        }
        if (c == '<')
            malformed("'<' in an attribute's value");
        if (c == '&') {
            readReference(out);
            continue;
        }
        // Line breaks and tabs written in a value read as spaces (written as references they
        // stay what they are).
        if (!xml::isSpace(c))
            malformed("the control character of code " + std::to_string(c) +
                      ", which XML does not allow");
        ++m_pos;
        if (c == '\r' && peekByte() == '\n')
            ++m_pos;
        out += ' ';
    }
    if (!utf8::isValid(out))
        malformed("a byte that is not UTF-8 (a document in another encoding must declare it)");
}

void XmlReader::readCharacters()
{
    m_text.clear();
    for (;;) {
        if (m_pos == m_end && !refill())
            break;
        const char *const from = m_data + m_pos;
        const char *const end = m_data + m_end;
        const char *p = from;
        for (;;) {
            while (end - p >= 8 && !xml::anyTextStop(wordAt(p)))
                p += 8;
            // Line feeds and tabs stop the eight-byte scan; past them it goes on.
            const char *const limit = std::min(end, p + 8);
            while (p < limit && !xml::isTextStop(static_cast<unsigned char>(*p)))
                ++p;
            if (p < limit || p == end)
                break;
        }
        m_text.append(from, p);
        m_pos = static_cast<std::size_t>(p - m_data);
        if (p == end)
            continue;
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '<')
            break;
        if (c == '&') {
            readReference(m_text);
        } else if (c == '\r') {
            ++m_pos;
            m_text += '\n';
            if (peekByte() == '\n')
                ++m_pos;
        } else if (c == ']') {
            if (startsWith("]]>"))
                malformed("\"]]>\" in text");
            m_text += ']';
            ++m_pos;
        } else {
            malformed("the control character of code " + std::to_string(c) +
                      ", which XML does not allow");
        }
    }
    if (!utf8::isValid(m_text))
        malformed("a byte that is not UTF-8 (a document in another encoding must declare it)");
}

} // namespace quillet
