#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// How the XML reader tells a document's encoding, and the converters it reads an encoding other
// than UTF-8 through. The reader reads UTF-8 itself; the converters are given to it (the tool
// gives the toolkit's), so that this library stays plain C++.
namespace quillet {

// Converts a document to UTF-8 a block at a time.
class XmlDecoder
{
public:
    virtual ~XmlDecoder() = default;
    // Appends the UTF-8 form of the next block to out; false, appending nothing, when the
    // block holds a byte that is not of the encoding. A character cut at the block's end
    // waits for the next block.
    virtual bool append(std::string_view raw, std::string &out) = 0;
    // Whether the first part of a character cut at the last block's end waits for the rest (a
    // document must not end there).
    virtual bool holdsPart() const = 0;
};

// The converters a reader may use.
class XmlEncodings
{
public:
    virtual ~XmlEncodings() = default;

    // A converter, with its encoding's name for messages; without a converter, UTF-8.
    struct Decoding
    {
        std::unique_ptr<XmlDecoder> decoder;
        std::string name;
    };
    // The encoding a document's first bytes show by a byte-order mark, or by the way the '<'
    // it begins with is written; nothing when they show none.
    virtual std::optional<Decoding> marked(std::string_view first) const = 0;
    // A converter from the encoding a document declares; nothing when there is none.
    virtual std::unique_ptr<XmlDecoder> named(const std::string &name) const = 0;
};

// The encoding named by the XML declaration at the start of text, if it names one.
std::optional<std::string> declaredEncoding(std::string_view text);

// Whether name is one of UTF-8's, in any case.
bool namesUtf8(std::string name);

} // namespace quillet
