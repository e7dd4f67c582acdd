#include "store/Keys.h"
#include "store/Settings.h"
#include "store/Value.h"

#include <gtest/gtest.h>

#include <clocale>
#include <stdexcept>

namespace quillet {
namespace {

TEST(ValueTest, WholeNumbersRoundHalvesToEvenAndStayInRange)
{
    EXPECT_EQ(Value::real(2.5).toInt32(), 2);
    EXPECT_EQ(Value::real(3.5).toInt32(), 4);
    EXPECT_EQ(Value::real(-2.5).toInt32(), -2);
    EXPECT_EQ(Value::text(" 42 ").toInt32(), 42);
    EXPECT_EQ(Value::integer(-2147483648LL).toInt32(), -2147483647 - 1);
    EXPECT_FALSE(Value::integer(2147483648LL).toInt32());
    EXPECT_FALSE(Value::real(2147483647.6).toInt32());
    EXPECT_FALSE(Value::text("12abc").toInt32());
    EXPECT_FALSE(Value::text("").toInt32());
    EXPECT_FALSE(Value().toInt32());
    EXPECT_FALSE(Value::blob("7").toInt32());
}

TEST(ValueTest, TextKeepsEmbeddedNulsAndNumbersBecomeDecimalText)
{
    EXPECT_EQ(Value::text(std::string("a\0b", 3)).toText(), std::string("a\0b", 3));
    EXPECT_EQ(Value::integer(-17).toText(), "-17");
    EXPECT_EQ(Value::real(9.75).toText(), "9.75");
    EXPECT_FALSE(Value().toText());
    // A number followed by a NUL is not a number.
    EXPECT_FALSE(Value::text(std::string("5\0", 2)).toDouble());
}

TEST(ValueTest, NumbersReadTheSameInEveryLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    // A locale with a decimal comma, where one is installed; C otherwise.
    for (const char *name : {"de_DE.UTF-8", "el_GR.UTF-8", "C"})
        if (std::setlocale(LC_NUMERIC, name))
            break;
    EXPECT_EQ(Value::text("1.5").toDouble(), 1.5);
    EXPECT_FALSE(Value::text("1,5").toDouble());
    EXPECT_FALSE(Value::text("0x1A").toDouble());
    EXPECT_EQ(Value::text(" +2e1 ").toDouble(), 20.0);
    EXPECT_EQ(Value::real(0.1).toText(), "0.1");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ValueTest, BooleansFromNumbersAndWords)
{
    EXPECT_EQ(Value::integer(0).toBool(), false);
    EXPECT_EQ(Value::integer(-1).toBool(), true);
    EXPECT_EQ(Value::real(0.5).toBool(), true);
    EXPECT_EQ(Value::text("True").toBool(), true);
    EXPECT_EQ(Value::text("FALSE").toBool(), false);
    EXPECT_FALSE(Value::text("yes").toBool());
    EXPECT_FALSE(Value().toBool());
}

TEST(KeysTest, TrimRemovesOnlySpaces)
{
    EXPECT_EQ(keys::trimSpaces("  A1 "), "A1");
    EXPECT_EQ(keys::trimSpaces("\tnote\n "), "\tnote\n");
    EXPECT_EQ(keys::trimSpaces("   "), "");
}

TEST(KeysTest, ParentAndLengthCountCharactersNotBytes)
{
    // Top-level keys past code 127 are two bytes in UTF-8 but one character.
    const std::string high = "\xC3\x88"; // code 200
    EXPECT_EQ(keys::length(high), 1);
    EXPECT_EQ(keys::length(high + "12"), 3);
    EXPECT_EQ(keys::parent(high + "1"), high);
    EXPECT_EQ(keys::parent(high), "");
    EXPECT_EQ(keys::parent("A21"), "A2");
    EXPECT_EQ(keys::length("\xC3"), -1);
    // Overlong forms and surrogates are not characters.
    EXPECT_EQ(keys::length("\xC1\x81"), -1);
    EXPECT_EQ(keys::length("\xED\xA0\x80"), -1);
    EXPECT_FALSE(keys::followsScheme("\xC1\x81"));
}

// A character cut short at the end of a slice is no character, whatever bytes follow the slice
// in memory: the decoder reads only the slice.
TEST(KeysTest, TheDecoderReadsNothingPastTheEndOfItsText)
{
    const std::string buffer = "ab\xCE\xB1 \xE2\x82\xAC \xF0\x9F\x93\x9D";
    const std::pair<std::size_t, std::size_t> cuts[] = {{2, 3}, {5, 7}, {5, 6}, {9, 12}, {9, 10}};
    for (const auto &[start, end] : cuts) {
        const std::string_view slice = std::string_view(buffer).substr(0, end);
        std::size_t pos = start;
        EXPECT_FALSE(keys::decode(slice, pos)) << "bytes " << start << " to " << end;
        EXPECT_EQ(pos, start);
    }
    std::size_t pos = 2;
    EXPECT_EQ(keys::decode(std::string_view(buffer).substr(0, 4), pos), U'\u03B1');
    EXPECT_EQ(pos, 4u);
    EXPECT_EQ(keys::length(std::string_view(buffer).substr(0, 3)), -1);
}

// The check that reads eight bytes at a time says what reading one character at a time says,
// for text mixing ASCII, two-, three- and four-byte characters with a fault at every place.
TEST(KeysTest, TheQuickUtf8CheckAgreesWithTheDecoder)
{
    const auto decodesWhole = [](std::string_view text) {
        for (std::size_t pos = 0; pos < text.size();)
            if (!keys::decode(text, pos))
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
        EXPECT_TRUE(keys::isUtf8(run)) << run;
        for (std::size_t at = 0; at <= run.size(); ++at)
            for (const std::string &fault : faults) {
                const std::string text = run.substr(0, at) + fault + run.substr(at);
                EXPECT_EQ(keys::isUtf8(text), decodesWhole(text)) << at << ": " << text;
                EXPECT_FALSE(keys::isUtf8(text)) << at << ": " << text;
            }
    }
}

TEST(KeysTest, SchemeAcceptsTopLevelCodesFromAUpTo255AndDigitsOneToNine)
{
    for (const char *key : {"A", "B", "Z", "[", "a", "A1", "A19", "B99999", "\xC3\xBF"})
        EXPECT_TRUE(keys::followsScheme(key)) << key;
    for (const char *key : {"", "@", "1", "A0", "AA", "A1a", "A'", "\xC4\x80", "\xC3"})
        EXPECT_FALSE(keys::followsScheme(key)) << key;
}

TEST(SettingsTest, PositionsOneToThirtyOnly)
{
    Settings settings;
    settings.at(1) = -5;
    settings.at(30) = 7;
    EXPECT_EQ(settings.at(1), -5);
    EXPECT_EQ(settings.at(30), 7);
    EXPECT_THROW(settings.at(0), std::out_of_range);
    EXPECT_THROW(settings.at(31), std::out_of_range);
    settings.at(4) = 9;
    settings.at(5) = 9;
    settings.clearFrom(5);
    EXPECT_EQ(settings.at(4), 9);
    EXPECT_EQ(settings.at(5), 0);
    EXPECT_EQ(settings.at(30), 0);
}

} // namespace
} // namespace quillet
