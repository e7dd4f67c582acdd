#include "store/Value.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace quillet {

Value Value::integer(std::int64_t v)
{
    Value value;
    value.m_type = Type::Integer;
    value.m_integer = v;
    return value;
}

Value Value::real(double v)
{
    Value value;
    value.m_type = Type::Real;
    value.m_real = v;
    return value;
}

Value Value::text(std::string v)
{
    Value value;
    value.m_type = Type::Text;
    value.m_text = std::move(v);
    return value;
}

Value Value::blob(std::string bytes)
{
    Value value;
    value.m_type = Type::Blob;
    value.m_text = std::move(bytes);
    return value;
}

void Value::setInteger(std::int64_t v)
{
    m_type = Type::Integer;
    m_integer = v;
}

void Value::setReal(double v)
{
    m_type = Type::Real;
    m_real = v;
}

void Value::setText(std::string_view v, Type type)
{
    m_type = type;
    m_text.assign(v.data(), v.size());
}

std::optional<std::string> Value::toText() const
{
    switch (m_type) {
    case Type::Null:
        return std::nullopt;
    case Type::Integer:
        return std::to_string(m_integer);
    case Type::Real: {
        // to_chars ignores the user's locale: a stored 9.75 reads "9.75" everywhere.
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, m_real);
        return std::string(buffer, result.ptr);
    }
    case Type::Text:
    case Type::Blob:
        return m_text;
    }
    return std::nullopt;
}

// A decimal number, with optional spaces around it, in the C notation whatever the user's
// locale ("1.5", "-2", "1e3"); no hexadecimal, no trailing characters.
static std::optional<double> parseNumber(const std::string &text)
{
    const char *begin = text.data();
    const char *end = text.data() + text.size();
    while (begin != end && *begin == ' ')
        ++begin;
    while (end != begin && end[-1] == ' ')
        --end;
    if (begin != end && *begin == '+')
        ++begin;
    double number = 0;
    const auto result = std::from_chars(begin, end, number, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || begin == end || !std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<double> Value::toDouble() const
{
    switch (m_type) {
    case Type::Integer:
        return static_cast<double>(m_integer);
    case Type::Real:
        return m_real;
    case Type::Text:
        return parseNumber(m_text);
    case Type::Null:
    case Type::Blob:
        break;
    }
    return std::nullopt;
}

std::optional<std::int32_t> Value::toInt32() const
{
    if (m_type == Type::Integer) {
        if (m_integer < std::numeric_limits<std::int32_t>::min() ||
            m_integer > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
        return static_cast<std::int32_t>(m_integer);
    }
    const std::optional<double> number = toDouble();
    if (!number)
        return std::nullopt;
    const double rounded = std::nearbyint(*number); // the default rounding mode: ties to even
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

std::optional<bool> Value::toBool() const
{
    if (m_type == Type::Text) {
        std::string lower;
        for (char c : m_text)
            if (c != ' ')
                lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (lower == "true")
            return true;
        if (lower == "false")
            return false;
    }
    const std::optional<double> number = toDouble();
    if (!number)
        return std::nullopt;
    return *number != 0.0;
}

} // namespace quillet
