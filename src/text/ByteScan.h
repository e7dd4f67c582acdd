#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// Tests of eight bytes at a time, for the readers that scan long runs of plain text.
namespace quillet::bytescan {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The eight bytes from at, in the order they are stored.
inline std::uint64_t wordAt(const char *at)
{
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Whether any of the eight bytes in word is zero.
constexpr bool anyZeroByte(std::uint64_t word)
{
    return ((word - kOnes) & ~word & kHighBits) != 0;
}

// Whether any of the eight bytes is c.
constexpr bool anyByte(std::uint64_t word, unsigned char c)
{
    return anyZeroByte(word ^ (kOnes * c));
}

// Whether any of the eight bytes is a control character (below 0x20).
constexpr bool anyControl(std::uint64_t word)
{
    return ((word - kOnes * 0x20) & ~word & kHighBits) != 0;
}

// The high bit of each of the eight bytes that is zero, exactly byte by byte (no borrow runs
// from one byte into the next).
constexpr std::uint64_t zeroBytes(std::uint64_t word)
{
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    return ~(((word & kLow7) + kLow7) | word) & kHighBits;
}

// How many of the eight bytes, which start at a character, are whole ASCII or two-byte UTF-8
// characters: 8; 7 when the last byte leads a two-byte character that goes on past them; 0 when
// some byte is anything else (a longer character, a byte that is not UTF-8).
constexpr int asciiOrTwoByteCharacters(std::uint64_t word)
{
    if constexpr (std::endian::native != std::endian::little)
        return 0;
    const std::uint64_t ascii = ~word & kHighBits;
    const std::uint64_t continuation = zeroBytes((word & (kOnes * 0xC0)) ^ (kOnes * 0x80));
    std::uint64_t lead = zeroBytes((word & (kOnes * 0xE0)) ^ (kOnes * 0xC0));
    // C0 and C1 lead overlong forms: none of their bits 1 to 4 is set.
    lead &= ~zeroBytes(word & (kOnes * 0x1E));
    // Every byte one of the three, and a continuation exactly where a lead came before.
    if (((ascii | lead | continuation) ^ kHighBits) != 0 || continuation != (lead << 8))
        return 0;
    return (lead >> 63) != 0 ? 7 : 8;
}

} // namespace quillet::bytescan
