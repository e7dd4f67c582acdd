#include "tools/import/XmlInput.h"

#include <QStringDecoder>

// The toolkit's converters, for the text encodings XML documents may declare.
namespace quillet::dbtool {

namespace {

class ToolkitDecoder : public XmlDecoder
{
public:
    explicit ToolkitDecoder(QStringDecoder decoder)
        : m_decoder(std::move(decoder))
    {
    }

    bool append(std::string_view raw, std::string &out) override
    {
        QString text =
            m_heldBack + m_decoder.decode(QByteArrayView(raw.data(), qsizetype(raw.size())));
        if (m_decoder.hasError())
            return false;
        // A block of UTF-16 may end between the two halves of a character: the first waits
        // for the second.
        m_heldBack.clear();
        if (!text.isEmpty() && text.back().isHighSurrogate()) {
            m_heldBack = text.back();
            text.chop(1);
        }
        const QByteArray bytes = text.toUtf8();
        out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return true;
    }

    bool holdsPart() const override { return !m_heldBack.isEmpty(); }

private:
    QStringDecoder m_decoder;
    QString m_heldBack; // the first half of a character cut at a block's end
};

class ToolkitEncodings : public XmlEncodings
{
public:
    std::optional<Decoding> marked(std::string_view first) const override
    {
        const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(
            QByteArrayView(first.data(), qsizetype(first.size())), u'<');
        if (!marked)
            return std::nullopt;
        if (*marked == QStringConverter::Utf8)
            return Decoding{};
        return Decoding{std::make_unique<ToolkitDecoder>(QStringDecoder(*marked)),
                        QStringConverter::nameForEncoding(*marked)};
    }

    std::unique_ptr<XmlDecoder> named(const std::string &name) const override
    {
        QStringDecoder decoder(name.c_str());
        if (!decoder.isValid())
            return nullptr;
        return std::make_unique<ToolkitDecoder>(std::move(decoder));
    }
};

const ToolkitEncodings kEncodings{};

} // namespace

XmlInput::XmlInput(const std::string &path)
    : XmlReader(path, &kEncodings)
{
}

XmlInput::XmlInput(std::string_view bytes, std::string where)
    : XmlReader(bytes, std::move(where), &kEncodings)
{
}

} // namespace quillet::dbtool
