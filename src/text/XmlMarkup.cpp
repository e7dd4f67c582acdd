#include "text/Utf8.h"
#include "text/XmlReader.h"
#include "text/XmlRules.h"

#include <algorithm>
#include <cctype>
#include <cstring>

// The XML reader's markup: names, start and end tags, the document type, processing
// instructions, and the sections read up to their end (comments, CDATA).

namespace quillet {

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

} // namespace quillet
