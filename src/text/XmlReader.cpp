#include "text/XmlReader.h"

#include "text/InputRefused.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// The XML reader's input and its walk: opening a file or bytes, the encoding, reading a block at
// a time, the line, refusals, and the tokens in document order. What reads markup is in
// XmlMarkup.cpp, what reads text in XmlText.cpp; the rules of both in XmlRules.h.

namespace quillet {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

} // namespace

XmlReader::XmlReader(const std::string &path, const XmlEncodings *encodings)
    : m_where(path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        throw InputRefused("cannot open " + path + ": " + std::strerror(errno));
    m_buffer.resize(kBlock);
    m_buffer.resize(readBlock(m_buffer.data()));
    m_atEnd = m_buffer.empty();
    start(m_buffer, encodings);
    if (m_decoder) {
        m_raw = std::move(m_buffer);
        m_buffer.clear();
        appendDecoded(m_raw);
    }
    m_data = m_buffer.data();
    m_end = m_buffer.size();
}

XmlReader::XmlReader(std::string_view bytes, std::string where, const XmlEncodings *encodings)
    : m_where(std::move(where))
    , m_data(bytes.data())
    , m_end(bytes.size())
    , m_atEnd(true)
{
    start(bytes, encodings);
    if (m_decoder) {
        appendDecoded(bytes);
        if (m_decoder->holdsPart())
            malformed("it ends inside a character");
        m_data = m_buffer.data();
        m_end = m_buffer.size();
        m_pos = 0;
    }
}

XmlReader::~XmlReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// Tells the encoding from the document's first bytes: a byte-order mark, else the declaration,
// else UTF-8. Only UTF-8 is read as it is; every other encoding is converted a block at a time.
void XmlReader::start(std::string_view first, const XmlEncodings *encodings)
{
    if (first.starts_with("\xEF\xBB\xBF")) {
        m_pos = 3;
        return;
    }
    if (encodings) {
        if (std::optional<XmlEncodings::Decoding> marked = encodings->marked(first)) {
            m_decoder = std::move(marked->decoder);
            m_encoding = std::move(marked->name);
            return;
        }
    }
    const std::optional<std::string> declared = declaredEncoding(first);
    if (!declared || namesUtf8(*declared))
        return;
    if (encodings)
        m_decoder = encodings->named(*declared);
    if (!m_decoder)
        refuse("it declares the encoding \"" + *declared + "\", which cannot be read");
    m_encoding = *declared;
}

std::size_t XmlReader::readBlock(char *into)
{
    ssize_t got;
    do
        got = ::read(m_fd, into, kBlock);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        throw InputRefused("cannot read " + m_where + ": " + std::strerror(errno));
    return static_cast<std::size_t>(got);
}

void XmlReader::appendDecoded(std::string_view raw)
{
    if (!m_decoder->append(raw, m_buffer))
        malformed("it holds a byte that is not of its encoding, " + m_encoding);
}

bool XmlReader::refill()
{
    if (m_atEnd)
        return false;
    // What was read is dropped, its lines counted first.
    (void)line();
    const std::size_t kept = m_end - m_pos;
    m_buffer.erase(0, m_pos);
    m_pos = 0;
    m_lineCountedTo = 0;
    // A converted block may end inside a character, which gives nothing yet.
    while (m_buffer.size() == kept && !m_atEnd) {
        std::string &into = m_decoder ? m_raw : m_buffer;
        const std::size_t at = m_decoder ? 0 : into.size();
        into.resize(at + kBlock);
        into.resize(at + readBlock(into.data() + at));
        m_atEnd = into.size() == at;
        if (m_decoder && !m_atEnd)
            appendDecoded(m_raw);
        if (m_atEnd && m_decoder && m_decoder->holdsPart())
            malformed("it ends inside a character");
    }
    m_data = m_buffer.data();
    m_end = m_buffer.size();
    return m_end > kept;
}

bool XmlReader::startsWith(std::string_view text)
{
    while (m_end - m_pos < text.size())
        if (!refill())
            return false;
    return std::string_view(m_data + m_pos, text.size()) == text;
}

void XmlReader::expect(std::string_view text, const char *what)
{
    if (!startsWith(text))
        malformed(std::string("expected ") + what);
    m_pos += text.size();
}

std::uint64_t XmlReader::line() const
{
    m_line +=
        static_cast<std::uint64_t>(std::count(m_data + m_lineCountedTo, m_data + m_pos, '\n'));
    m_lineCountedTo = m_pos;
    return m_line;
}

void XmlReader::refuse(const std::string &reason) const
{
    throw InputRefused(m_where + ", line " + std::to_string(line()) + ": " + reason + ".");
}

void XmlReader::malformed(const std::string &reason) const
{
    refuse("it is not well-formed XML: " + reason);
}

XmlToken XmlReader::next()
{
    if (m_endPending) {
        m_endPending = false;
        m_open.pop_back();
        m_attributes.clear();
        return m_token = XmlToken::EndElement;
    }
    for (;;) {
        // The XML declaration may only open the document.
        const bool first = !m_begun;
        m_begun = true;
        const int c = peekByte();
        if (c == -1) {
            if (!m_open.empty())
                malformed("it ends inside <" + m_open.back() + ">");
            if (!m_seenRoot)
                malformed("it holds no element");
            return m_token = XmlToken::EndDocument;
        }
        if (c != '<') {
            if (!m_open.empty()) {
                readCharacters();
                return m_token = XmlToken::Characters;
            }
            skipSpace();
            if (const int after = peekByte(); after != '<' && after != -1)
                malformed(m_seenRoot ? "text after the document's element"
                                     : "text before the document's element");
            continue;
        }
        if (startsWith("<?")) {
            readProcessingInstruction(first);
        } else if (startsWith("<!--")) {
            m_pos += 4;
            readUntil("-->", nullptr, "a comment");
        } else if (startsWith("<![CDATA[")) {
            if (m_open.empty())
                malformed("a CDATA section outside the document's element");
            m_pos += 9;
            readUntil("]]>", &m_text, "a CDATA section");
            return m_token = XmlToken::Characters;
        } else if (startsWith("<!DOCTYPE")) {
            readDoctype();
        } else if (startsWith("</")) {
            m_pos += 2;
            readEndTag();
            return m_token = XmlToken::EndElement;
        } else {
            if (m_open.empty() && m_seenRoot)
                malformed("a second element after the document's element");
            ++m_pos;
            readStartTag();
            m_open.push_back(m_name);
            m_seenRoot = true;
            return m_token = XmlToken::StartElement;
        }
    }
}

void XmlReader::expectRoot(const char *name, const std::string &kind)
{
    if (next() != XmlToken::StartElement || m_name != name)
        refuse("it is not " + kind + ": its first element is not <" + name + ">");
}

std::string XmlReader::attribute(std::string_view name) const
{
    for (const XmlAttribute &attribute : m_attributes)
        if (attribute.name == name)
            return attribute.value;
    return {};
}

std::string XmlReader::readText()
{
    std::string text;
    for (;;) {
        const XmlToken token = next();
        if (token == XmlToken::Characters && text.empty())
            text = std::move(m_text);
        else if (token == XmlToken::Characters)
            text += m_text;
        else if (token == XmlToken::EndElement)
            return text;
        else if (token == XmlToken::StartElement)
            skip();
        else
            refuse("it ends inside an element");
    }
}

void XmlReader::skip()
{
    for (int depth = 1; depth > 0;) {
        const XmlToken token = next();
        if (token == XmlToken::StartElement)
            ++depth;
        else if (token == XmlToken::EndElement)
            --depth;
        else if (token == XmlToken::EndDocument)
            refuse("it ends inside an element");
    }
}

} // namespace quillet
