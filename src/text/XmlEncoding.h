#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// How an XML document in an encoding other than UTF-8 becomes the UTF-8 the reader reads, a
// block at a time. The toolkit's converters do the work behind this plain interface, so that
// nothing that includes it needs the toolkit.
class XmlDecoder
{
public:
    // What a document's first bytes say about how it is read.
    struct Choice
    {
        std::unique_ptr<XmlDecoder> decoder;   // nothing: UTF-8, which is read as it is
        std::optional<std::string> unreadable; // an encoding declared that cannot be read
    };
    // Tells the encoding from a document's first bytes: a byte-order mark, else the encoding its
    // declaration names, else UTF-8.
    static Choice choose(std::string_view first);

    ~XmlDecoder();
    XmlDecoder(const XmlDecoder &) = delete;
    XmlDecoder &operator=(const XmlDecoder &) = delete;

    // The encoding's name, for messages.
    const std::string &name() const { return m_name; }
    // Appends the UTF-8 form of the next block of the document to out; false, appending
    // nothing, when the block holds a byte that is not of the encoding.
    bool append(std::string_view raw, std::string &out);
    // Whether the first half of a character cut at the last block's end waits for the rest
    // (a document must not end there).
    bool holdsPart() const;

private:
    struct Converter;
    XmlDecoder(std::unique_ptr<Converter> converter, std::string name);

    std::unique_ptr<Converter> m_converter;
    std::string m_name;
};

} // namespace quillet
