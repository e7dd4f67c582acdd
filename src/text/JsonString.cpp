#include "text/ByteScan.h"
#include "text/JsonReader.h"
#include "text/Utf8.h"

// The JSON reader's strings: the runs copied whole, the escapes, the surrogate pairs of \u, and
// the check that what was read is UTF-8.

namespace quillet::json {

namespace {

using bytescan::anyByte;
using bytescan::anyControl;
using bytescan::wordAt;

// Whether any of the eight bytes ends a string's plain run: a quote, a backslash or a control
// character. Notes are long runs of plain text; they are scanned eight bytes at a time.
constexpr bool anyStop(std::uint64_t word)
{
    return anyByte(word, '"') || anyByte(word, '\\') || anyControl(word);
}

} // namespace

unsigned Reader::readHex4()
{
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
        const int c = peekByte();
        unsigned digit = 0;
        if (isDigit(c))
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            fail("expected four hexadecimal digits after \\u");
        take();
        value = value * 16 + digit;
    }
    return value;
}

void Reader::appendCodeUnit(std::string &out)
{
    char32_t cp = readHex4();
    if (cp >= 0xDC00 && cp <= 0xDFFF)
        fail("a low surrogate without a high one before it");
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        if (peekByte() != '\\')
            fail("a high surrogate without a low one after it");
        take();
        if (peekByte() != 'u')
            fail("a high surrogate without a low one after it");
        take();
        const char32_t low = readHex4();
        if (low < 0xDC00 || low > 0xDFFF)
            fail("a high surrogate without a low one after it");
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    utf8::append(out, cp);
}

void Reader::readString(std::string &out)
{
    expect('"', "'\"'");
    out.clear();
    for (;;) {
        if (m_pos == m_end && !refill())
            fail("the text ends inside a string");
        // The run up to the next quote, backslash or control character is copied whole.
        const char *const start = m_buffer.data() + m_pos;
        const char *const end = m_buffer.data() + m_end;
        const char *p = start;
        while (end - p >= 8 && !anyStop(wordAt(p)))
            p += 8;
        while (p < end && *p != '"' && *p != '\\' && static_cast<unsigned char>(*p) >= 0x20)
            ++p;
        out.append(start, p);
        m_pos += static_cast<std::size_t>(p - start);
        if (p == end)
            continue;
        const char c = *p;
        take();
        if (c == '"')
            break;
        if (c != '\\') {
            --m_pos;
            fail("a control character inside a string");
        }
        const int escaped = peekByte();
        if (escaped == -1)
            fail("the text ends inside a string");
        take();
        switch (escaped) {
        case '"':
        case '\\':
        case '/':
            out += static_cast<char>(escaped);
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u':
            appendCodeUnit(out);
            break;
        default:
            --m_pos;
            fail("an unknown escape in a string");
        }
    }
    if (!utf8::isValid(out))
        fail("a string that is not UTF-8");
}

} // namespace quillet::json
