#pragma once

#include <optional>
#include <string>
#include <string_view>

// Base64 (RFC 4648, with padding), as the archive writes bytes a JSON string cannot hold.
namespace quillet::base64 {

std::string encode(std::string_view bytes);
// The bytes, or nothing when the text holds a character outside base64 (then named in bad).
std::optional<std::string> decode(const std::string &text, char &bad);

} // namespace quillet::base64
