#include "text/Utf8.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

// A character cut short at the end of a slice is no character, whatever bytes follow the slice
// in memory: the decoder reads only the slice.
TEST(textUtf8, TheDecoderReadsNothingPastTheEndOfItsText)
{
    const std::string buffer = "ab\xCE\xB1 \xE2\x82\xAC \xF0\x9F\x93\x9D";
    const std::pair<std::size_t, std::size_t> cuts[] = {{2, 3}, {5, 7}, {5, 6}, {9, 12}, {9, 10}};
    for (const auto &[start, end] : cuts) {
        const std::string_view slice = std::string_view(buffer).substr(0, end);
        std::size_t pos = start;
        EXPECT_FALSE(utf8::decode(slice, pos)) << "bytes " << start << " to " << end;
        EXPECT_EQ(pos, start);
    }
    std::size_t pos = 2;
    EXPECT_EQ(utf8::decode(std::string_view(buffer).substr(0, 4), pos), U'\u03B1');
    EXPECT_EQ(pos, 4u);
}

// The check that reads eight bytes at a time says what reading one character at a time says,
// for text mixing ASCII, two-, three- and four-byte characters with a fault at every place.
TEST(textUtf8, TheQuickUtf8CheckAgreesWithTheDecoder)
{
    const auto decodesWhole = [](std::string_view text) {
        for (std::size_t pos = 0; pos < text.size();)
            if (!utf8::decode(text, pos))
                return false;
        return true;
    };
    const std::string runs[] = {
        "lorem \xCF\x83\xCE\xB7\xCE\xBC\xCE\xB5\xCE\xAF\xCF\x89\xCF\x83\xCE\xB7 ipsum \xCE\xB1 b",
        "\xC3\xA9\xC3\xA8 caf\xC3\xA9 \xE2\x82\xAC 12 \xF0\x9F\x93\x9D \xDF\xBF\xC2\x80 z",
        std::string(20, 'a') + "\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5\xCE\xB6\xCE\xB7 .",
    };
    const std::string faults[] = {"\x80",     "\xCE",         "\xC0\xAF",
                                  "\xC1\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                  "\xE2\x82", "\xFF"};
    for (const std::string &run : runs) {
        EXPECT_TRUE(utf8::isValid(run)) << run;
        for (std::size_t at = 0; at <= run.size(); ++at)
            for (const std::string &fault : faults) {
                const std::string text = run.substr(0, at) + fault + run.substr(at);
                EXPECT_EQ(utf8::isValid(text), decodesWhole(text)) << at << ": " << text;
                EXPECT_FALSE(utf8::isValid(text)) << at << ": " << text;
            }
    }
}

} // namespace
} // namespace quillet
