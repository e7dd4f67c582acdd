#include "text/JsonReader.h"

#include <istream>
#include <string_view>

// The JSON reader's input and structure: reading a block at a time, white space, refusals with
// their line and column, objects and arrays, the literals, skipping a value, the document's
// end. Strings are read in JsonString.cpp, numbers in JsonNumber.cpp.

namespace quillet::json {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

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
