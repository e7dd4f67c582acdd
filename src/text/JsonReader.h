#pragma once

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillet::json {

// The text is not JSON, or reading it failed; the message says where: "line 3, column 14: ...".
class SyntaxError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class Kind { Object, Array, String, Number, Boolean, Null };

// A number as written: a whole number stays whole when it fits in 64 bits, so that 1 and 1.0
// remain told apart.
struct Number
{
    enum class Type { Integer, Unsigned, Real };
    Type type = Type::Integer;
    std::int64_t integer = 0; // Integer
    std::uint64_t large = 0;  // Unsigned: above the largest Integer
    double real = 0.0;        // Real; always finite
};

// Reads JSON (RFC 8259, UTF-8) from a stream a block at a time: memory holds one block of the
// input and the one string being read, whatever the length of the document. The caller walks
// the document: an object member by member, an array element by element, each value read or
// skipped. Anything that is not JSON throws SyntaxError: a string that is not UTF-8 (or holds an
// unpaired surrogate), a control character in a string, a number with leading zeros or beyond
// the range of a double, nesting deeper than kMaxDepth, anything after the document.
class Reader
{
public:
    static constexpr std::size_t kMaxDepth = 10000;

    explicit Reader(std::istream &in);

    // The kind of the next value.
    Kind peek();

    // An object: beginObject(), then nextMember() until it returns false; after each true, the
    // caller reads or skips the member's value.
    void beginObject();
    bool nextMember(std::string &key);
    // An array likewise: beginArray(), then nextElement() until false.
    void beginArray();
    bool nextElement();

    void readString(std::string &out);
    Number readNumber();
    bool readBoolean();
    void readNull();
    // Reads one value of any kind and keeps nothing of it.
    void skip();

    // After the document's one value: only white space may follow.
    void finish();

private:
    // The next byte without taking it, or -1 at the end of the input.
    int peekByte()
    {
        if (m_pos == m_end && !refill())
            return -1;
        return static_cast<unsigned char>(m_buffer[m_pos]);
    }
    void take() { ++m_pos; }
    void skipSpace();
    void expect(char c, const char *what);
    void readLiteral(const char *word);
    void appendCodeUnit(std::string &out);
    unsigned readHex4();
    bool refill();
    bool nextInContainer(bool object);
    [[noreturn]] void fail(const std::string &what) const;
    static constexpr bool isDigit(int c) { return c >= '0' && c <= '9'; }

    std::istream &m_in;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::uint64_t m_bufferStart = 0; // offset in the input of m_buffer[0]
    std::uint64_t m_line = 1;
    std::uint64_t m_lineStart = 0; // offset of the current line's first byte
    // The open objects and arrays, innermost last: 'o' or 'a', upper case once past the first
    // member, so that a comma is required before the next.
    std::string m_open;
    std::string m_token;
};

} // namespace quillet::json
