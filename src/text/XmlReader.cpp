#include "text/XmlReader.h"

#include "text/ByteScan.h"
#include "text/InputRefused.h"
#include "text/Utf8.h"
#include "text/XmlRules.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillet {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

using bytescan::anyByte;
using bytescan::anyControl;
using bytescan::wordAt;

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

int XmlReader::peekByte()
{
    if (m_pos == m_end && !refill())
        return -1;
    return static_cast<unsigned char>(m_data[m_pos]);
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

bool XmlReader::skipSpace()
{
    bool skipped = false;
    for (; xml::isSpace(peekByte()); skipped = true)
        ++m_pos;
    return skipped;
}

std::string XmlReader::readName(const char *what)
{
    std::string name;
    if (!xml::isNameStart(peekByte()))
        malformed(std::string("expected ") + what);
    for (int c = peekByte(); xml::isNameChar(c); c = peekByte()) {
        name += static_cast<char>(c);
        ++m_pos;
    }
    if (!utf8::isValid(name))
        malformed("a name that is not " + (m_decoder ? m_encoding : std::string("UTF-8")));
    return name;
}

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

void XmlReader::readUntil(std::string_view end, std::string *into, const char *what)
{
    std::string skipped;
    std::string &out = into ? *into : skipped;
    out.clear();
    for (;;) {
        if (m_pos == m_end && !refill())
            malformed(std::string("it ends inside ") + what);
        const char *const from = m_data + m_pos;
        const char *const hit = static_cast<const char *>(std::memchr(from, end[0], m_end - m_pos));
        if (!hit) {
            out.append(from, m_data + m_end);
            m_pos = m_end;
            continue;
        }
        out.append(from, hit);
        m_pos = static_cast<std::size_t>(hit - m_data);
        if (startsWith(end)) {
            m_pos += end.size();
            break;
        }
        out += end[0];
        ++m_pos;
    }
    xml::normaliseLineBreaks(out);
    checkCharacters(out);
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

void XmlReader::readStartTag()
{
    // After '<'.
    m_name = readName("an element's name after '<'");
    m_attributes.clear();
    for (;;) {
        const bool spaced = skipSpace();
        const int c = peekByte();
        if (c == '>') {
            ++m_pos;
            return;
        }
        if (c == '/') {
            ++m_pos;
            expect(">", "'>' after '/'");
            m_endPending = true;
            return;
        }
        if (c == -1)
            malformed("it ends inside the tag <" + m_name + ">");
        if (!spaced)
            malformed("the attributes of <" + m_name + "> are not set apart by spaces");
        XmlAttribute attribute;
        attribute.name = readName("an attribute's name");
        skipSpace();
        expect("=", "'=' after an attribute's name");
        skipSpace();
        readAttributeValue(attribute.value);
        for (const XmlAttribute &earlier : m_attributes)
            if (earlier.name == attribute.name)
                malformed("<" + m_name + "> has the attribute \"" + attribute.name + "\" twice");
        m_attributes.push_back(std::move(attribute));
    }
}

void XmlReader::readEndTag()
{
    // After "</".
    m_name = readName("an element's name after \"</\"");
    skipSpace();
    expect(">", "'>' at the end of an end tag");
    if (m_open.empty())
        malformed("</" + m_name + "> ends no element");
    if (m_open.back() != m_name)
        malformed("</" + m_name + "> where <" + m_open.back() + "> has not ended");
    m_open.pop_back();
    m_attributes.clear();
}

void XmlReader::readDoctype()
{
    if (m_seenRoot || m_seenDoctype)
        malformed("a document type after the document's element or a second one");
    m_seenDoctype = true;
    m_pos += 9; // "<!DOCTYPE"
    bool inSubset = false;
    for (;;) {
        const int c = peekByte();
        if (c == -1)
            malformed("it ends inside its document type");
        if (inSubset) {
            if (startsWith("<!--")) {
                m_pos += 4;
                readUntil("-->", nullptr, "a comment");
                continue;
            }
            if (startsWith("<?")) {
                m_pos += 2;
                readUntil("?>", nullptr, "a processing instruction");
                continue;
            }
            if (startsWith("<!ENTITY"))
                refuse("it declares entities of its own (<!ENTITY>), which are not read; save "
                       "it without them");
        }
        ++m_pos;
        if (c == '"' || c == '\'') {
            std::string quoted;
            readUntil(std::string_view(c == '"' ? "\"" : "'"), &quoted, "a quoted name");
        } else if (!inSubset && c == '[') {
            inSubset = true;
        } else if (inSubset && c == ']') {
            inSubset = false;
        } else if (!inSubset && c == '>') {
            return;
        }
    }
}

void XmlReader::readProcessingInstruction(bool first)
{
    m_pos += 2; // "<?"
    // The target must be a name, but what follows it may come without the space XML asks for:
    // an outliner writes <?pos="1"?>, and no reader here uses an instruction's content, so
    // refusing it would refuse that program's files for nothing.
    const std::string target = readName("a processing instruction's name after \"<?\"");
    std::string lower = target;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "xml" && !first)
        malformed("an XML declaration that is not at the very start");
    readUntil("?>", nullptr, "a processing instruction");
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
