#include "notes/outline/TrimValue.h"

#include "store/Keys.h"

namespace quillet {

QString TrimValue(const Value &value)
{
    if (const std::optional<std::string_view> text = value.textView())
        return fromStored(keys::trimmedSpaces(*text));
    const std::optional<std::string> text = value.toText();
    if (!text)
        return {};
    return fromStored(keys::trimmedSpaces(*text));
}

std::string storedKeyOf(const Value &key)
{
    if (const std::optional<std::string_view> text = key.textView())
        return std::string(*text);
    return key.toText().value_or(std::string());
}

} // namespace quillet
