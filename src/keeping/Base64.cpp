#include "keeping/Base64.h"

#include <cstdint>
#include <cstring>

namespace quillet::base64 {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::string encode(std::string_view bytes)
{
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : bytes) {
        bits = (bits << 8) | static_cast<unsigned char>(c);
        count += 8;
        while (count >= 6) {
            count -= 6;
            out += kBase64[(bits >> count) & 0x3F];
        }
    }
    if (count > 0)
        out += kBase64[(bits << (6 - count)) & 0x3F];
    while (out.size() % 4)
        out += '=';
    return out;
}

std::optional<std::string> decode(const std::string &text, char &bad)
{
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=')
            break;
        const char *at = std::strchr(kBase64, c);
        if (!at || c == '\0') {
            bad = c;
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(at - kBase64);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

} // namespace quillet::base64
