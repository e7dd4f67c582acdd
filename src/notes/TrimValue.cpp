#include "notes/TrimValue.h"

#include "store/Keys.h"

namespace quillet {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString TrimValue(const Value &value)
{
    if (const std::optional<std::string_view> text = value.textView())
        return fromUtf8(keys::trimmedSpaces(*text));
    const std::optional<std::string> text = value.toText();
    if (!text)
        return {};
    return fromUtf8(keys::trimmedSpaces(*text));
}

} // namespace quillet
