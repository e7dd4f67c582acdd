#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// Finds a query in UTF-8 text as a user expects. With match case, the bytes must be the same.
// Without it, letters compare regardless of case (Latin, Greek with its final sigma, Cyrillic),
// and a Greek vowel typed without an accent also finds it with one, as Greek capitals carry no
// accents ("ΑΛΦΑ" finds "άλφα"); otherwise accents count ("άλφα" does not find "αλφα", "e"
// does not find "é"). Text that is not valid UTF-8 matches byte for byte.
class TextMatch
{
public:
    TextMatch(std::string_view query, bool matchCase);

    bool empty() const { return m_query.empty(); }

    // Where the first match at or after from starts and how many bytes it takes.
    struct Found
    {
        std::size_t start = 0;
        std::size_t length = 0;
    };
    std::optional<Found> find(std::string_view text, std::size_t from = 0) const;

private:
    // The length of the match at pos, or 0 when there is none.
    std::size_t matchAt(std::string_view text, std::size_t pos) const;

    std::string m_query;
    bool m_matchCase = true;
    // Without match case: for each character of the query, the encodings it finds.
    std::vector<std::vector<std::string>> m_units;
    // The pairs of first two bytes a match can start with (any second byte after a one-byte
    // start): the scan passes every other place at a glance.
    std::vector<std::uint8_t> m_pairs = std::vector<std::uint8_t>(256 * 256);
    // When every start of a match has one of at most two bytes at one offset (the first byte
    // of a one-byte character, the second of a two-byte one, where the first is common to a
    // whole script), the scan jumps between those bytes instead of reading every byte.
    std::vector<unsigned char> m_jumpBytes;
    std::size_t m_jumpOffset = 0;
};

} // namespace quillet
