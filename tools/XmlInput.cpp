#include "tools/XmlInput.h"

#include "tools/ImportedOutline.h"

namespace quillet::dbtool {

std::string utf8(QStringView text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string attributeOf(const QXmlStreamReader &reader, const char *name)
{
    return utf8(reader.attributes().value(QLatin1String(name)));
}

XmlInput::XmlInput(const std::string &path)
    : m_file(QString::fromStdString(path))
    , m_where(path)
{
    if (!m_file.open(QIODevice::ReadOnly))
        throw ImportRefused("cannot open " + path + ": " + utf8(m_file.errorString()));
    m_reader.setDevice(&m_file);
}

XmlInput::XmlInput(const QByteArray &bytes, std::string where)
    : m_reader(bytes)
    , m_where(std::move(where))
{
}

void XmlInput::expectRoot(const char *name, const std::string &kind)
{
    if (next() != QXmlStreamReader::StartElement || m_reader.name() != QLatin1String(name))
        refuse("it is not " + kind + ": its first element is not <" + name + ">");
}

QXmlStreamReader::TokenType XmlInput::next()
{
    for (;;) {
        const QXmlStreamReader::TokenType token = m_reader.readNext();
        switch (token) {
        case QXmlStreamReader::Invalid:
            refuse("it is not well-formed XML: " + utf8(m_reader.errorString()));
        case QXmlStreamReader::DTD:
            if (!m_reader.entityDeclarations().isEmpty())
                refuse("it declares entities of its own (<!ENTITY>), which are not read; save "
                       "it without them");
            continue;
        case QXmlStreamReader::EntityReference:
            refuse("it refers to the entity &" + utf8(m_reader.name()) + ";, which is not read");
        case QXmlStreamReader::StartElement:
        case QXmlStreamReader::EndElement:
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EndDocument:
            return token;
        default:
            continue;
        }
    }
}

std::string XmlInput::readText()
{
    std::string text;
    for (;;) {
        const QXmlStreamReader::TokenType token = next();
        if (token == QXmlStreamReader::Characters)
            text += utf8(m_reader.text());
        else if (token == QXmlStreamReader::EndElement)
            return text;
        else if (token == QXmlStreamReader::StartElement)
            skip();
        else
            refuse("it ends inside an element");
    }
}

void XmlInput::skip()
{
    for (int depth = 1; depth > 0;) {
        const QXmlStreamReader::TokenType token = next();
        if (token == QXmlStreamReader::StartElement)
            ++depth;
        else if (token == QXmlStreamReader::EndElement)
            --depth;
        else if (token == QXmlStreamReader::EndDocument)
            refuse("it ends inside an element");
    }
}

void XmlInput::refuse(const std::string &reason) const
{
    throw ImportRefused(m_where + ", line " + std::to_string(m_reader.lineNumber()) + ": " +
                        reason + ".");
}

} // namespace quillet::dbtool
