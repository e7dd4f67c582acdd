#include "text/XmlEncoding.h"

#include "text/XmlRules.h"

#include <algorithm>
#include <cctype>

namespace quillet {

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

} // namespace quillet
