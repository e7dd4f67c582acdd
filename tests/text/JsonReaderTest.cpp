#include "text/JsonReader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>

namespace quillet::test {
namespace {

// The document as the reader walks it, in a form that states exactly what was read: strings
// in <>, numbers with their type (i, u or r).
std::string walk(json::Reader &reader)
{
    std::string out;
    std::string text;
    switch (reader.peek()) {
    case json::Kind::Object:
        reader.beginObject();
        out = "{";
        while (reader.nextMember(text))
            out += (out.size() > 1 ? ",<" : "<") + text + ">:" + walk(reader);
        return out + "}";
    case json::Kind::Array:
        reader.beginArray();
        out = "[";
        while (reader.nextElement())
            out += (out.size() > 1 ? "," : "") + walk(reader);
        return out + "]";
    case json::Kind::String:
        reader.readString(text);
        return "<" + text + ">";
    case json::Kind::Number: {
        const json::Number number = reader.readNumber();
        if (number.type == json::Number::Type::Integer)
            return "i" + std::to_string(number.integer);
        if (number.type == json::Number::Type::Unsigned)
            return "u" + std::to_string(number.large);
        char shown[32];
        return "r" + std::string(shown, std::to_chars(shown, shown + 32, number.real).ptr);
    }
    case json::Kind::Boolean:
        return reader.readBoolean() ? "true" : "false";
    case json::Kind::Null:
        reader.readNull();
        return "null";
    }
    return "?";
}

std::string readWhole(const std::string &text)
{
    std::istringstream in(text);
    json::Reader reader(in);
    std::string read = walk(reader);
    reader.finish();
    return read;
}

TEST(textJsonReader, ReadsEveryKindOfValueAsWritten)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {R"({"a": [1, -2, 3.5, 1e2, true, false, null, "x"], "b": {}})",
         "{<a>:[i1,i-2,r3.5,r100,true,false,null,<x>],<b>:{}}"},
        {" \t\r\n [ ] \n", "[]"},
        {"\xEF\xBB\xBF[1]", "[i1]"},
        {R"(["\"\\\/\b\f\n\r\t"])", "[<\"\\/\b\f\n\r\t>]"},
        {R"("\u00e9\u0391\ud83d\udcdd")", "<\xC3\xA9\xCE\x91\xF0\x9F\x93\x9D>"},
        {R"("a\u0000b")", std::string("<a\0b>", 5)},
        {"\"\xCE\xB1\xCE\xB2 \xF0\x9F\x93\x9D\"", "<\xCE\xB1\xCE\xB2 \xF0\x9F\x93\x9D>"},
        // Whole numbers stay whole while they fit in 64 bits; beyond, they are reals.
        {"[9223372036854775807, -9223372036854775808, 9223372036854775808]",
         "[i9223372036854775807,i-9223372036854775808,u9223372036854775808]"},
        {"[18446744073709551616, -9223372036854775809]",
         "[r18446744073709551616,r-9223372036854775808]"},
        {"[-0, 0.0, 1E-400, 2.5e+3]", "[i0,r0,r0,r2500]"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(readWhole(text), expected) << text;
}

TEST(textJsonReader, RefusesWhatIsNotJsonSayingWhere)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", "line 1, column 1: the text ends where a value should be"},
        {"{", "expected a member's name in quotes"},
        {"[1,]", "expected a value"},
        {"[1 2]", "expected ',' or ']'"},
        {R"({"a" 1})", "expected ':'"},
        {R"({"a": 1,})", "expected a member's name"},
        {R"({"a": 1 "b": 2})", "expected ',' or '}'"},
        {"01", "\"01\" is not a number"},
        {"1.", "a number without digits after its point"},
        {"-", "a number without digits"},
        {"1e+", "without digits in its exponent"},
        {"+1", "expected a value"},
        {"1e999", "the number 1e999 is too large"},
        {"\"a\nb\"", "a control character inside a string"},
        {R"("\x")", "an unknown escape"},
        {R"("\u12")", "four hexadecimal digits"},
        {R"("\udc00")", "a low surrogate without a high one"},
        {R"("\ud800x")", "a high surrogate without a low one"},
        {R"("\ud800\u0041")", "a high surrogate without a low one"},
        {"\"\xC3\x28\"", "not UTF-8"},
        {"\"\xED\xA0\x80\"", "not UTF-8"}, // a surrogate written out in UTF-8
        {"\"\xC0\xAF\"", "not UTF-8"},     // an overlong "/"
        {"\"abc", "the text ends inside a string"},
        {"\"abc\\", "the text ends inside a string"},
        {"tru", "expected true"},
        {"nul", "expected null"},
        {"[1] x", "more text after the end of the document"},
        {"[1,\n  x]", "line 2, column 3: expected a value"},
        {std::string(json::Reader::kMaxDepth + 1, '['), "nested more than 10000 deep"},
    };
    for (const auto &[text, said] : cases) {
        try {
            std::istringstream in(text);
            json::Reader reader(in);
            reader.skip();
            reader.finish();
            ADD_FAILURE() << "read: " << text;
        } catch (const json::SyntaxError &error) {
            EXPECT_NE(std::string(error.what()).find(said), std::string::npos)
                << text << ": " << error.what();
        }
    }
}

TEST(textJsonReader, SkipsAnyValueAndGoesOnAfterIt)
{
    const std::string deep = std::string(json::Reader::kMaxDepth - 1, '[') +
                             std::string(json::Reader::kMaxDepth - 1, ']');
    std::istringstream in(R"([{"a": [1, {"b": "}]"}], "c": {}}, )" + deep + R"(, "x", 2])");
    json::Reader reader(in);
    reader.beginArray();
    ASSERT_TRUE(reader.nextElement());
    reader.skip();
    ASSERT_TRUE(reader.nextElement());
    reader.skip();
    ASSERT_TRUE(reader.nextElement());
    reader.skip();
    ASSERT_TRUE(reader.nextElement());
    EXPECT_EQ(reader.readNumber().integer, 2);
    EXPECT_FALSE(reader.nextElement());
    reader.finish();
}

// The input is read in blocks: a string far longer than a block, with escapes and characters
// of several bytes, comes back whole wherever the blocks happen to divide it.
TEST(textJsonReader, StringsLongerThanABlockComeBackWhole)
{
    std::string written;
    std::string expected;
    for (int i = 0; written.size() < 300'000; ++i) {
        written += "ab\xCE\xB1\\n\\u03b1\\ud83d\\udcdd\\\"\xF0\x9F\x93\x9D";
        expected += "ab\xCE\xB1\n\xCE\xB1\xF0\x9F\x93\x9D\"\xF0\x9F\x93\x9D";
        written += std::string(static_cast<std::size_t>(i % 7), 'x');
        expected += std::string(static_cast<std::size_t>(i % 7), 'x');
    }
    for (std::size_t shift = 0; shift < 12; ++shift) {
        std::istringstream in(std::string(shift, ' ') + "[\"" + written + "\", 7]");
        json::Reader reader(in);
        reader.beginArray();
        ASSERT_TRUE(reader.nextElement());
        std::string read;
        reader.readString(read);
        EXPECT_EQ(read, expected) << "shifted by " << shift;
        ASSERT_TRUE(reader.nextElement());
        EXPECT_EQ(reader.readNumber().integer, 7);
        EXPECT_FALSE(reader.nextElement());
    }
}

// Plain runs are checked several bytes at a time: a fault is found wherever it falls in a run
// of ASCII or of Greek, and a run of them alone comes back as it was.
TEST(textJsonReader, FindsAFaultAnywhereInALongRun)
{
    const std::string greek = "\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5\xCE\xB6\xCE\xB7\xCE\xB8";
    const std::pair<std::string, std::string> faults[] = {
        {"\x01", "a control character inside a string"},
        {"\x1F", "a control character inside a string"},
        {"\xC0\xAF", "not UTF-8"}, // an overlong "/"
        {"\xC1\xBF", "not UTF-8"}, // an overlong DEL
        {"\x80", "not UTF-8"},     // a continuation without a lead
        {"\xCE", "not UTF-8"},     // a lead without its continuation
        {"\xED\xA0\x80", "not UTF-8"},
    };
    for (const std::string &run : {std::string(32, 'a'), greek + greek}) {
        EXPECT_EQ(readWhole("\"" + run + "\""), "<" + run + ">");
        for (std::size_t at = 0; at <= 16; ++at) {
            for (const auto &[fault, said] : faults) {
                const std::string text = "\"" + run.substr(0, at) + fault + run.substr(at) + "\"";
                try {
                    readWhole(text);
                    ADD_FAILURE() << "read a fault at " << at << ": " << text;
                } catch (const json::SyntaxError &error) {
                    EXPECT_NE(std::string(error.what()).find(said), std::string::npos)
                        << at << ": " << error.what();
                }
            }
        }
    }
}

} // namespace
} // namespace quillet::test
