#include "text/TextMatch.h"

#include "text/Utf8.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

// The code point at text[pos] and its length in bytes; a byte that does not start valid UTF-8
// stands for itself, one byte long (as U+DC00 + byte, which no real character is).
std::pair<char32_t, std::size_t> decode(std::string_view text, std::size_t pos)
{
    std::size_t next = pos;
    if (const std::optional<char32_t> cp = utf8::decode(text, next))
        return {*cp, next - pos};
    return {0xDC00 + static_cast<unsigned char>(text[pos]), 1};
}

std::string encode(char32_t cp)
{
    std::string bytes;
    if (cp >= 0xDC80 && cp <= 0xDCFF)
        bytes += static_cast<char>(cp - 0xDC00);
    else
        utf8::append(bytes, cp);
    return bytes;
}

// The lower-case form a letter compares by: Latin (Basic, Latin-1, Extended-A), Greek with its
// accented capitals and final sigma, Cyrillic. Other characters compare as they are.
char32_t folded(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130)
            return 'i';
        if (c == 0x178)
            return 0xFF;
        if (c == 0x17F)
            return 's';
        const bool evenUpper = (c <= 0x137) || (c >= 0x14A && c <= 0x177);
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if ((evenUpper && c % 2 == 0) || (oddUpper && c % 2 == 1))
            return c + 1;
        return c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 32;
    switch (c) {
    case 0x386:
        return 0x3AC;
    case 0x388:
        return 0x3AD;
    case 0x389:
        return 0x3AE;
    case 0x38A:
        return 0x3AF;
    case 0x38C:
        return 0x3CC;
    case 0x38E:
        return 0x3CD;
    case 0x38F:
        return 0x3CE;
    case 0x3AA:
        return 0x3CA;
    case 0x3AB:
        return 0x3CB;
    case 0x3C2:
        return 0x3C3;
    default:
        break;
    }
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

// A folded Greek vowel without its accent or diaeresis.
char32_t greekBase(char32_t c)
{
    switch (c) {
    case 0x3AC:
        return 0x3B1;
    case 0x3AD:
        return 0x3B5;
    case 0x3AE:
        return 0x3B7;
    case 0x3AF:
    case 0x3CA:
    case 0x390:
        return 0x3B9;
    case 0x3CC:
        return 0x3BF;
    case 0x3CD:
    case 0x3CB:
    case 0x3B0:
        return 0x3C5;
    case 0x3CE:
        return 0x3C9;
    default:
        return c;
    }
}

// Every character that compares equal to the query character q without match case.
std::vector<std::string> variantsOf(char32_t q)
{
    const char32_t f = folded(q);
    const bool anyAccent = greekBase(f) == f && f >= 0x3B1 && f <= 0x3C9;
    std::vector<std::string> variants{encode(q)};
    const auto consider = [&](char32_t c) {
        const char32_t g = folded(c);
        if (g == f || (anyAccent && greekBase(g) == f)) {
            std::string bytes = encode(c);
            if (std::find(variants.begin(), variants.end(), bytes) == variants.end())
                variants.push_back(std::move(bytes));
        }
    };
    // The letters that fold are all in these ranges.
    for (char32_t c = 'A'; c <= 'z'; ++c)
        consider(c);
    for (char32_t c = 0xC0; c <= 0x17F; ++c)
        consider(c);
    for (char32_t c = 0x386; c <= 0x3CE; ++c)
        consider(c);
    for (char32_t c = 0x400; c <= 0x45F; ++c)
        consider(c);
    return variants;
}

} // namespace

TextMatch::TextMatch(std::string_view query, bool matchCase)
    : m_query(query)
    , m_matchCase(matchCase)
{
    if (m_matchCase || m_query.empty())
        return;
    for (std::size_t pos = 0; pos < m_query.size();) {
        const auto [cp, length] = decode(m_query, pos);
        m_units.push_back(variantsOf(cp));
        pos += length;
    }
    for (const std::string &start : m_units.front()) {
        const auto first = static_cast<unsigned char>(start[0]);
        for (std::size_t second = 0; second < 256; ++second)
            if (start.size() == 1 || static_cast<unsigned char>(start[1]) == second)
                m_pairs[first * 256 + second] = 1;
    }
    const std::vector<std::string> &starts = m_units.front();
    const std::size_t shortest = std::min_element(starts.begin(), starts.end(),
                                                  [](const std::string &a, const std::string &b) {
                                                      return a.size() < b.size();
                                                  })
                                     ->size();
    const bool sameLength = std::all_of(starts.begin(), starts.end(),
                                        [&](const std::string &v) { return v.size() == shortest; });
    if (sameLength && shortest <= 2) {
        m_jumpOffset = shortest - 1;
        for (const std::string &start : starts) {
            const auto byte = static_cast<unsigned char>(start[m_jumpOffset]);
            if (std::find(m_jumpBytes.begin(), m_jumpBytes.end(), byte) == m_jumpBytes.end())
                m_jumpBytes.push_back(byte);
        }
        if (m_jumpBytes.size() > 2)
            m_jumpBytes.clear();
    }
}

std::size_t TextMatch::matchAt(std::string_view text, std::size_t pos) const
{
    std::size_t at = pos;
    for (const std::vector<std::string> &unit : m_units) {
        const auto variant = std::find_if(unit.begin(), unit.end(), [&](const std::string &v) {
            return text.compare(at, v.size(), v) == 0;
        });
        if (variant == unit.end())
            return 0;
        at += variant->size();
    }
    return at - pos;
}

std::optional<TextMatch::Found> TextMatch::find(std::string_view text, std::size_t from) const
{
    if (m_query.empty() || from > text.size())
        return std::nullopt;
    if (m_matchCase) {
        const std::size_t at = text.find(m_query, from);
        if (at == std::string_view::npos)
            return std::nullopt;
        return Found{at, m_query.size()};
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const std::uint8_t *pairs = m_pairs.data();
    const std::size_t end = text.size();
    const auto tryAt = [&](std::size_t pos) -> std::size_t {
        // A place is judged first by its pair of bytes; the last byte alone can start only a
        // match of one byte.
        const unsigned next = pos + 1 < end ? bytes[pos + 1] : 0;
        return pairs[bytes[pos] * 256 + next] ? matchAt(text, pos) : 0;
    };
    if (!m_jumpBytes.empty()) {
        std::size_t next[2] = {0, 0};
        bool known[2] = {false, false};
        for (std::size_t pos = from + m_jumpOffset; pos < end;) {
            std::size_t candidate = end;
            for (std::size_t i = 0; i < m_jumpBytes.size(); ++i) {
                if (!known[i] || next[i] < pos) {
                    const void *at = std::memchr(bytes + pos, m_jumpBytes[i], end - pos);
                    next[i] = at ? static_cast<std::size_t>(static_cast<const unsigned char *>(at) -
                                                            bytes)
                                 : end;
                    known[i] = true;
                }
                candidate = std::min(candidate, next[i]);
            }
            if (candidate == end)
                break;
            if (const std::size_t length = tryAt(candidate - m_jumpOffset))
                return Found{candidate - m_jumpOffset, length};
            pos = candidate + 1;
        }
        return std::nullopt;
    }
    for (std::size_t pos = from; pos < end; ++pos)
        if (const std::size_t length = tryAt(pos))
            return Found{pos, length};
    return std::nullopt;
}

} // namespace quillet
