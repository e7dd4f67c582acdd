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
    // Cut at the end of a slice, whatever byte follows it in memory.
    EXPECT_EQ(keys::length(std::string_view("ab\xCE\xB1").substr(0, 3)), -1);
    // Overlong forms and surrogates are not characters.
    EXPECT_EQ(keys::length("\xC1\x81"), -1);
    EXPECT_EQ(keys::length("\xED\xA0\x80"), -1);
    EXPECT_FALSE(keys::followsScheme("\xC1\x81"));
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
