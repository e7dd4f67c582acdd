#include "faults/crash/WriterProtocol.h"

#include <charconv>

namespace quillet::crashtest {

namespace {

template <class Number>
std::optional<Number> number(std::string_view text)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

} // namespace

std::string textDigest(std::uint64_t size, std::uint64_t hash)
{
    return std::to_string(size) + ":" + std::to_string(hash);
}

std::string textDigest(std::string_view text)
{
    return textDigest(text.size(), textHash(text));
}

std::string noteTag(std::string_view text)
{
    const std::size_t end = text.find("] ");
    if (!text.starts_with('[') || end == std::string_view::npos)
        return {};
    return std::string(text.substr(0, end + 1));
}

std::uint64_t textHash(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

std::string toHex(std::string_view bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0xF];
    }
    return hex;
}

std::optional<std::string> fromHex(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = digit(hex[i]);
        const int low = digit(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t space = line.find(' ', start);
        const std::size_t end = space == std::string_view::npos ? line.size() : space;
        out.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string formatWrite(const Write &write)
{
    switch (write.kind) {
    case Write::Kind::Text:
        return "text " + toHex(write.key) + " " + std::to_string(write.textSize) + " " +
               std::to_string(write.textHash);
    case Write::Kind::Add:
        // An empty title would leave an empty last word; "-" stands for it.
        return "add " + toHex(write.key) + " " + (write.title.empty() ? "-" : toHex(write.title));
    case Write::Kind::Delete:
        return "delete " + toHex(write.key);
    case Write::Kind::Expanded: {
        std::string flags;
        for (bool flag : write.flags)
            flags += flag ? '1' : '0';
        return "expanded " + (flags.empty() ? std::string("-") : flags);
    }
    case Write::Kind::Settings: {
        std::string text = "settings";
        for (std::int32_t value : write.settings)
            text += " " + std::to_string(value);
        return text;
    }
    case Write::Kind::Backup:
        return "backup";
    case Write::Kind::Move:
        return "move " + toHex(write.key) + " " + static_cast<char>(write.place) + " " +
               (write.place == Write::Place::Top ? std::string("-") : toHex(write.placeKey)) + " " +
               toHex(write.newKey);
    case Write::Kind::Undelete: {
        std::string text =
            "undelete " + toHex(write.key) + " " +
            (write.place == Write::Place::Top ? std::string("-") : toHex(write.placeKey)) + " " +
            toHex(write.newKey) + " " + std::to_string(write.rows.size());
        for (const Write::Row &row : write.rows)
            text += " " + toHex(row.key) + " " + (row.title.empty() ? "-" : toHex(row.title)) +
                    " " + row.text + " " + std::to_string(row.expanded);
        return text;
    }
    }
    return {};
}

std::optional<Write> parseWrite(std::string_view text)
{
    const std::vector<std::string_view> w = words(text);
    Write write;
    if (w[0] == "text" && w.size() == 4) {
        write.kind = Write::Kind::Text;
        const auto key = fromHex(w[1]);
        const auto size = number<std::uint64_t>(w[2]);
        const auto hash = number<std::uint64_t>(w[3]);
        if (!key || !size || !hash)
            return std::nullopt;
        write.key = *key;
        write.textSize = *size;
        write.textHash = *hash;
        return write;
    }
    if (w[0] == "add" && w.size() == 3) {
        write.kind = Write::Kind::Add;
        const auto key = fromHex(w[1]);
        const auto title = w[2] == "-" ? std::optional<std::string>("") : fromHex(w[2]);
        if (!key || !title)
            return std::nullopt;
        write.key = *key;
        write.title = *title;
        return write;
    }
    if (w[0] == "delete" && w.size() == 2) {
        write.kind = Write::Kind::Delete;
        const auto key = fromHex(w[1]);
        if (!key)
            return std::nullopt;
        write.key = *key;
        return write;
    }
    if (w[0] == "expanded" && w.size() == 2) {
        write.kind = Write::Kind::Expanded;
        if (w[1] == "-")
            return write;
        for (char c : w[1]) {
            if (c != '0' && c != '1')
                return std::nullopt;
            write.flags.push_back(c == '1');
        }
        return write;
    }
    if (w[0] == "move" && w.size() == 5 && w[2].size() == 1) {
        write.kind = Write::Kind::Move;
        write.place = static_cast<Write::Place>(w[2][0]);
        const bool top = write.place == Write::Place::Top;
        const auto key = fromHex(w[1]);
        const auto place = top && w[3] == "-" ? std::optional<std::string>("") : fromHex(w[3]);
        const auto newKey = fromHex(w[4]);
        if (!key || !place || !newKey || key->empty() || newKey->empty() ||
            (w[2] != "u" && w[2] != "b" && w[2] != "a" && !top) || top != place->empty())
            return std::nullopt;
        write.key = *key;
        write.placeKey = *place;
        write.newKey = *newKey;
        return write;
    }
    if (w[0] == "undelete" && w.size() >= 5) {
        write.kind = Write::Kind::Undelete;
        const auto key = fromHex(w[1]);
        write.place = w[2] == "-" ? Write::Place::Top : Write::Place::Under;
        const auto place = w[2] == "-" ? std::optional<std::string>("") : fromHex(w[2]);
        const auto newKey = fromHex(w[3]);
        const auto count = number<std::size_t>(w[4]);
        if (!key || !place || !newKey || !count || key->empty() || newKey->empty() ||
            (w[2] != "-" && place->empty()) || *count > w.size() || w.size() != 5 + 4 * *count)
            return std::nullopt;
        write.key = *key;
        write.placeKey = *place;
        write.newKey = *newKey;
        for (std::size_t r = 0; r < *count; ++r) {
            const std::string_view *field = &w[5 + 4 * r];
            const auto rowKey = fromHex(field[0]);
            const auto title = field[1] == "-" ? std::optional<std::string>("") : fromHex(field[1]);
            const auto expanded = number<std::int64_t>(field[3]);
            if (!rowKey || !title || !expanded || field[2].empty())
                return std::nullopt;
            write.rows.push_back({*rowKey, *title, std::string(field[2]), *expanded});
        }
        return write;
    }
    if (w[0] == "backup" && w.size() == 1) {
        write.kind = Write::Kind::Backup;
        return write;
    }
    if (w[0] == "settings" && w.size() == 1 + write.settings.size()) {
        write.kind = Write::Kind::Settings;
        for (std::size_t i = 0; i < write.settings.size(); ++i) {
            const auto value = number<std::int32_t>(w[i + 1]);
            if (!value)
                return std::nullopt;
            write.settings[i] = *value;
        }
        return write;
    }
    return std::nullopt;
}

} // namespace quillet::crashtest
