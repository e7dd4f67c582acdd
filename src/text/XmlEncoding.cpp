#include "text/XmlEncoding.h"

#include "text/XmlRules.h"

#include <QStringDecoder>

#include <algorithm>
#include <cctype>

namespace quillet {

namespace {

// The encoding named by the XML declaration at the start of text, if it names one.
std::optional<std::string> declaredEncoding(std::string_view text)
{
    if (!text.starts_with("<?xml") || text.size() < 6 || !xml::isSpace(text[5]))
        return std::nullopt;
    const std::size_t close = text.find("?>");
    if (close == std::string_view::npos)
        return std::nullopt;
    const std::string_view declaration = text.substr(0, close);
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return std::nullopt;
    at += 8;
    while (at < declaration.size() && xml::isSpace(declaration[at]))
        ++at;
    if (at >= declaration.size() || declaration[at] != '=')
        return std::nullopt;
    ++at;
    while (at < declaration.size() && xml::isSpace(declaration[at]))
        ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return std::nullopt;
    const std::size_t end = declaration.find(declaration[at], at + 1);
    if (end == std::string_view::npos)
        return std::nullopt;
    return std::string(declaration.substr(at + 1, end - at - 1));
}

bool namesUtf8(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name == "utf-8" || name == "utf8";
}

} // namespace

struct XmlDecoder::Converter
{
    explicit Converter(QStringDecoder decoder)
        : decoder(std::move(decoder))
    {
    }

    QStringDecoder decoder;
    QString heldBack; // the first half of a character cut at a block's end
};

XmlDecoder::XmlDecoder(std::unique_ptr<Converter> converter, std::string name)
    : m_converter(std::move(converter))
    , m_name(std::move(name))
{
}

XmlDecoder::~XmlDecoder() = default;

// Only UTF-8 is read as it is; every other encoding is converted a block at a time.
XmlDecoder::Choice XmlDecoder::choose(std::string_view first)
{
    Choice choice;
    if (const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(
            QByteArrayView(first.data(), qsizetype(first.size())), u'<')) {
        if (*marked != QStringConverter::Utf8)
            choice.decoder.reset(
                new XmlDecoder(std::make_unique<Converter>(QStringDecoder(*marked)),
                               QStringConverter::nameForEncoding(*marked)));
        return choice;
    }
    const std::optional<std::string> declared = declaredEncoding(first);
    if (!declared || namesUtf8(*declared))
        return choice;
    QStringDecoder decoder(declared->c_str());
    if (!decoder.isValid()) {
        choice.unreadable = *declared;
        return choice;
    }
    choice.decoder.reset(
        new XmlDecoder(std::make_unique<Converter>(std::move(decoder)), *declared));
    return choice;
}

bool XmlDecoder::append(std::string_view raw, std::string &out)
{
    QString text = m_converter->heldBack +
                   m_converter->decoder.decode(QByteArrayView(raw.data(), qsizetype(raw.size())));
    if (m_converter->decoder.hasError())
        return false;
    // A block of UTF-16 may end between the two halves of a character: the first waits for
    // the second.
    m_converter->heldBack.clear();
    if (!text.isEmpty() && text.back().isHighSurrogate()) {
        m_converter->heldBack = text.back();
        text.chop(1);
    }
    const QByteArray bytes = text.toUtf8();
    out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

bool XmlDecoder::holdsPart() const
{
    return !m_converter->heldBack.isEmpty();
}

} // namespace quillet
