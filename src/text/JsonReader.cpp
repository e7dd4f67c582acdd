#include "text/JsonReader.h"

#include "text/ByteScan.h"
#include "text/Utf8.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <locale.h>
#include <string_view>

namespace quillet::json {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

using bytescan::anyByte;
using bytescan::anyControl;
using bytescan::wordAt;

// Whether any of the eight bytes ends a string's plain run: a quote, a backslash or a control
// character. Notes are long runs of plain text; they are scanned eight bytes at a time.
constexpr bool anyStop(std::uint64_t word)
{
    return anyByte(word, '"') || anyByte(word, '\\') || anyControl(word);
}

// A number's text is read the same whatever locale the program runs in: the toolkit sets the
// user's, in which the decimal point may be a comma.
double toDouble(const std::string &text)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text.c_str(), nullptr, c);
}

} // namespace

Reader::Reader(std::istream &in)
    : m_in(in)
    , m_buffer(kBlock)
{
    // A byte order mark before the document is allowed and passed over.
    if (refill() && m_end >= 3 && std::string_view(m_buffer.data(), 3) == "\xEF\xBB\xBF")
        m_pos = 3;
}

bool Reader::refill()
{
    m_bufferStart += m_end;
    m_pos = 0;
    m_end = 0;
    m_in.read(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    m_end = static_cast<std::size_t>(m_in.gcount());
    if (m_in.bad())
        fail("the file could not be read");
    return m_end > 0;
}

int Reader::peekByte()
{
    if (m_pos == m_end && !refill())
        return -1;
    return static_cast<unsigned char>(m_buffer[m_pos]);
}

void Reader::fail(const std::string &what) const
{
    const std::uint64_t offset = m_bufferStart + m_pos;
    throw SyntaxError("line " + std::to_string(m_line) + ", column " +
                      std::to_string(offset - m_lineStart + 1) + ": " + what);
}

void Reader::skipSpace()
{
    for (;;) {
        const int c = peekByte();
        if (c == ' ' || c == '\t' || c == '\r') {
            take();
        } else if (c == '\n') {
            take();
            ++m_line;
            m_lineStart = m_bufferStart + m_pos;
        } else {
            return;
        }
    }
}

void Reader::expect(char c, const char *what)
{
    skipSpace();
    if (peekByte() != static_cast<unsigned char>(c))
        fail(std::string("expected ") + what);
    take();
}

Kind Reader::peek()
{
    skipSpace();
    const int c = peekByte();
    switch (c) {
    case '{':
        return Kind::Object;
    case '[':
        return Kind::Array;
    case '"':
        return Kind::String;
    case 't':
    case 'f':
        return Kind::Boolean;
    case 'n':
        return Kind::Null;
    case -1:
        fail("the text ends where a value should be");
    default:
        if (c == '-' || isDigit(c))
            return Kind::Number;
        fail("expected a value");
    }
}

void Reader::beginObject()
{
    expect('{', "'{'");
    if (m_open.size() >= kMaxDepth)
        fail("objects and arrays nested more than " + std::to_string(kMaxDepth) + " deep");
    m_open += 'o';
}

void Reader::beginArray()
{
    expect('[', "'['");
    if (m_open.size() >= kMaxDepth)
        fail("objects and arrays nested more than " + std::to_string(kMaxDepth) + " deep");
    m_open += 'a';
}

bool Reader::nextInContainer(bool object)
{
    skipSpace();
    char &state = m_open.back();
    const char close = object ? '}' : ']';
    const int c = peekByte();
    if (c == close) {
        take();
        m_open.pop_back();
        return false;
    }
    if (state == 'O' || state == 'A') {
        if (c != ',')
            fail(object ? "expected ',' or '}'" : "expected ',' or ']'");
        take();
    } else {
        state = object ? 'O' : 'A';
    }
    return true;
}

bool Reader::nextMember(std::string &key)
{
    if (!nextInContainer(true))
        return false;
    skipSpace();
    if (peekByte() != '"')
        fail("expected a member's name in quotes");
    readString(key);
    expect(':', "':' after a member's name");
    return true;
}

bool Reader::nextElement()
{
    return nextInContainer(false);
}

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

Number Reader::readNumber()
{
    skipSpace();
    m_token.clear();
    for (int c = peekByte(); isDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
         c = peekByte()) {
        m_token += static_cast<char>(c);
        take();
    }
    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    const std::string &t = m_token;
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t first = i;
        while (i < t.size() && isDigit(t[i]))
            ++i;
        return i > first;
    };
    bool whole = true;
    if (i < t.size() && t[i] == '-')
        ++i;
    if (i < t.size() && t[i] == '0')
        ++i;
    else if (!digits())
        fail("a number without digits");
    if (i < t.size() && t[i] == '.') {
        ++i;
        whole = false;
        if (!digits())
            fail("a number without digits after its point");
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        whole = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        if (!digits())
            fail("a number without digits in its exponent");
    }
    if (i != t.size())
        fail("\"" + t + "\" is not a number");

    Number number;
    const char *const first = t.data();
    const char *const last = t.data() + t.size();
    // A whole number too large for 64 bits is read as a real, as other JSON readers do.
    if (whole) {
        if (std::from_chars(first, last, number.integer).ec == std::errc())
            return number;
        if (t[0] != '-' && std::from_chars(first, last, number.large).ec == std::errc()) {
            number.type = Number::Type::Unsigned;
            return number;
        }
    }
    number.type = Number::Type::Real;
    number.real = toDouble(t);
    if (!std::isfinite(number.real))
        fail("the number " + t + " is too large");
    return number;
}

void Reader::readLiteral(const char *word)
{
    skipSpace();
    for (const char *c = word; *c; ++c) {
        if (peekByte() != static_cast<unsigned char>(*c))
            fail(std::string("expected ") + word);
        take();
    }
}

bool Reader::readBoolean()
{
    if (peek() == Kind::Boolean && peekByte() == 't') {
        readLiteral("true");
        return true;
    }
    readLiteral("false");
    return false;
}

void Reader::readNull()
{
    readLiteral("null");
}

void Reader::skip()
{
    // Without recursion, so that deep nesting costs no stack: the containers this call opened
    // are those in m_open above the depth it started at.
    const std::size_t depth = m_open.size();
    std::string scratch;
    for (;;) {
        switch (peek()) {
        case Kind::Object:
            beginObject();
            break;
        case Kind::Array:
            beginArray();
            break;
        case Kind::String:
            readString(scratch);
            break;
        case Kind::Number:
            readNumber();
            break;
        case Kind::Boolean:
            readBoolean();
            break;
        case Kind::Null:
            readNull();
            break;
        }
        // On to the next value: the first in a container just opened, or the next in the
        // innermost open one, closing those that end here.
        bool more = false;
        while (!more && m_open.size() > depth) {
            const char open = m_open.back();
            more = open == 'o' || open == 'O' ? nextMember(scratch) : nextElement();
        }
        if (!more)
            return;
    }
}

void Reader::finish()
{
    skipSpace();
    if (peekByte() != -1)
        fail("more text after the end of the document");
}

} // namespace quillet::json
