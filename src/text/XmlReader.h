#pragma once

#include "text/XmlEncoding.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// What XmlReader::next() read.
enum class XmlToken { StartElement, EndElement, Characters, EndDocument };

struct XmlAttribute
{
    std::string name;
    std::string value; // as UTF-8, references replaced, white space normalised as XML does
};

// A streaming reader of one XML 1.0 document from a file or from bytes. The document is read in
// the encoding it declares (or its byte-order mark names), through the converters it is given
// for any but UTF-8, a block at a time: memory holds a block and the token being read, whatever
// the length of the document. Everything handed out is UTF-8. No entity is expanded but the five
// predefined ones and character references; a document that declares entities of its own is refused
// before any of its content is read, as such entities could pull in other files or grow without
// bound. Anything that is not well-formed (unmatched or overlapping elements, a second root, a bad
// reference, a character XML does not allow, a byte that is not of the encoding) is refused with
// its line.
class XmlReader
{
public:
    // Reads the file at path; throws InputRefused when it cannot be opened. Without encodings,
    // only a document in UTF-8 is read.
    explicit XmlReader(const std::string &path, const XmlEncodings *encodings = nullptr);
    // Reads bytes held by the caller, who keeps them while the input is read; where names them
    // in messages.
    XmlReader(std::string_view bytes, std::string where, const XmlEncodings *encodings = nullptr);
    ~XmlReader();
    XmlReader(const XmlReader &) = delete;
    XmlReader &operator=(const XmlReader &) = delete;

    // Reads up to the first element; refuses the document unless it is <name>, saying it is
    // not what kind names ("an OPML file").
    void expectRoot(const char *name, const std::string &kind);
    // The next start or end element, or characters, skipping the rest; EndDocument at the end.
    // An empty element <x/> is read as its start, then its end. Throws InputRefused, with the
    // line, for a document that is not well-formed or declares entities.
    XmlToken next();
    XmlToken token() const { return m_token; }
    // The name of the element started or ended.
    std::string_view name() const { return m_name; }
    // The attributes of the element started, in the order written.
    const std::vector<XmlAttribute> &attributes() const { return m_attributes; }
    // The value of the element's attribute, as UTF-8; empty when it has none.
    std::string attribute(std::string_view name) const;
    // The characters read (text or a CDATA section), line breaks as line feeds.
    const std::string &text() const { return m_text; }
    // The line the input is at, from 1.
    std::uint64_t line() const;

    // The text of the current element, which must hold text only, as UTF-8.
    std::string readText();
    // Skips the current element with everything inside it.
    void skip();

    // Refuses the document, naming the line the input is at.
    [[noreturn]] void refuse(const std::string &reason) const;

private:
    void start(std::string_view first, const XmlEncodings *encodings);
    std::size_t readBlock(char *into);
    void appendDecoded(std::string_view raw);
    bool refill();
    int peekByte()
    {
        if (m_pos == m_end && !refill())
            return -1;
        return static_cast<unsigned char>(m_data[m_pos]);
    }
    bool startsWith(std::string_view text);
    void expect(std::string_view text, const char *what);
    [[noreturn]] void malformed(const std::string &reason) const;
    bool skipSpace();
    std::string readName(const char *what);
    void readUntil(std::string_view end, std::string *into, const char *what);
    void readReference(std::string &out);
    void readAttributeValue(std::string &out);
    void readCharacters();
    void readStartTag();
    void readEndTag();
    void readDoctype();
    void readProcessingInstruction(bool first);
    void checkCharacters(std::string_view text) const;

    int m_fd = -1;
    std::string m_where;
    // The bytes being read: the caller's, or m_buffer's when read from a file or converted.
    const char *m_data = nullptr;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::string m_buffer;
    std::string m_raw; // a block as read, when it is converted from another encoding
    std::unique_ptr<XmlDecoder> m_decoder; // nothing for UTF-8
    std::string m_encoding;                // its name, when it is not UTF-8
    bool m_atEnd = false;
    // Line counting, done when a line is asked for and before a block is dropped.
    mutable std::uint64_t m_line = 1;
    mutable std::size_t m_lineCountedTo = 0;

    XmlToken m_token = XmlToken::EndDocument;
    std::string m_name;
    std::vector<XmlAttribute> m_attributes;
    std::string m_text;
    std::vector<std::string> m_open; // the elements the input is inside, innermost last
    bool m_begun = false;
    bool m_seenRoot = false;
    bool m_seenDoctype = false;
    bool m_endPending = false; // after <x/>: the end is read next
};

} // namespace quillet
