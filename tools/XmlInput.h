#pragma once

#include <QFile>
#include <QXmlStreamReader>

#include <string>

namespace quillet::dbtool {

// A streaming reader of one XML document from a file or from bytes, that reads the document in
// the encoding it declares and expands no entity but the five predefined ones and character
// references. A document that declares entities of its own is refused before any of its
// content is read: such entities could pull in other files (external entities, which the
// toolkit's reader drops without a word) or grow without bound (nested internal ones).
class XmlInput
{
public:
    // Reads the file at path; throws ImportRefused when it cannot be opened.
    explicit XmlInput(const std::string &path);
    // Reads bytes held in memory; where names them in messages.
    XmlInput(const QByteArray &bytes, std::string where);
    XmlInput(const XmlInput &) = delete;
    XmlInput &operator=(const XmlInput &) = delete;

    // Reads up to the first element; refuses the document unless it is <name>, saying it is
    // not what kind names ("an OPML file").
    void expectRoot(const char *name, const std::string &kind);
    // The next start or end element, or characters, skipping the rest; EndDocument at the end.
    // Throws ImportRefused, with the line, for a malformed document or declared entities.
    QXmlStreamReader::TokenType next();
    // Reads the current element's name and attributes.
    QXmlStreamReader &reader() { return m_reader; }
    // The text of the current element, which must hold text only, as UTF-8.
    std::string readText();
    // Skips the current element with everything inside it.
    void skip();

    // Refuses the document, naming the line the reader is at.
    [[noreturn]] void refuse(const std::string &reason) const;

private:
    QFile m_file;
    QXmlStreamReader m_reader;
    std::string m_where;
};

// Text from the toolkit as UTF-8.
std::string utf8(QStringView text);
// The value of the current element's attribute, as UTF-8; empty when it has none.
std::string attributeOf(const QXmlStreamReader &reader, const char *name);

} // namespace quillet::dbtool
