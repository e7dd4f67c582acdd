#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// One column value as the engine returned it. Conversions follow the rules the notes window
// applies to stored values; each gives no value when the conversion is not possible (a Null,
// text that is not a number, a number out of range), so that callers decide what a failed
// conversion means for them.
class Value
{
public:
    enum class Type { Null, Integer, Real, Text, Blob };

    Value() = default;
    static Value integer(std::int64_t v);
    static Value real(double v);
    static Value text(std::string v);
    static Value blob(std::string bytes);

    // Replace the value in place; text keeps its storage, so a value reused row after row
    // does not allocate for each row.
    void setNull() { m_type = Type::Null; }
    void setInteger(std::int64_t v);
    void setReal(double v);
    void setText(std::string_view v, Type type = Type::Text);

    Type type() const { return m_type; }
    bool isNull() const { return m_type == Type::Null; }
    // The stored number itself, for an integer or a real value only.
    std::optional<std::int64_t> integer() const
    {
        return m_type == Type::Integer ? std::optional<std::int64_t>(m_integer) : std::nullopt;
    }
    std::optional<double> real() const
    {
        return m_type == Type::Real ? std::optional<double>(m_real) : std::nullopt;
    }

    // Numbers as decimal text, text as it is, blobs as their bytes; Null gives nothing.
    std::optional<std::string> toText() const;
    // The stored text itself, without a copy, for text and blobs; nothing for other types.
    std::optional<std::string_view> textView() const
    {
        if (m_type == Type::Text || m_type == Type::Blob)
            return std::string_view(m_text);
        return std::nullopt;
    }
    // Numbers as they are; text when the whole of it (spaces aside) is a decimal number.
    std::optional<double> toDouble() const;
    // Whole numbers within range; reals rounded to the nearest whole number, ties to even.
    std::optional<std::int32_t> toInt32() const;
    // Zero is false, any other number true; the texts "true" and "false" in any letter case.
    std::optional<bool> toBool() const;

private:
    Type m_type = Type::Null;
    std::int64_t m_integer = 0;
    double m_real = 0.0;
    std::string m_text;
};

} // namespace quillet
