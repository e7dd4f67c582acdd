#include "text/JsonReader.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>

// The JSON reader's numbers: the grammar checked, whole numbers kept whole where they fit in 64
// bits, the rest read as doubles whatever the program's locale.

namespace quillet::json {

namespace {

// A number's text is read the same whatever locale the program runs in: the toolkit sets the
// user's, in which the decimal point may be a comma.
double toDouble(const std::string &text)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text.c_str(), nullptr, c);
}

} // namespace

Number Reader::readNumber()
{
    skipSpace();
    m_token.clear();
    for (int c = peekByte(); isDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
         c = peekByte()) {
        m_token += static_cast<char>(c);
        take();
    }
    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    const std::string &t = m_token;
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t first = i;
        while (i < t.size() && isDigit(t[i]))
            ++i;
        return i > first;
    };
    bool whole = true;
    if (i < t.size() && t[i] == '-')
        ++i;
    if (i < t.size() && t[i] == '0')
        ++i;
    else if (!digits())
        fail("a number without digits");
    if (i < t.size() && t[i] == '.') {
        ++i;
        whole = false;
        if (!digits())
            fail("a number without digits after its point");
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        whole = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        if (!digits())
            fail("a number without digits in its exponent");
    }
    if (i != t.size())
        fail("\"" + t + "\" is not a number");

    Number number;
    const char *const first = t.data();
    const char *const last = t.data() + t.size();
    // A whole number too large for 64 bits is read as a real, as other JSON readers do.
    if (whole) {
        if (std::from_chars(first, last, number.integer).ec == std::errc())
            return number;
        if (t[0] != '-' && std::from_chars(first, last, number.large).ec == std::errc()) {
            number.type = Number::Type::Unsigned;
            return number;
        }
    }
    number.type = Number::Type::Real;
    number.real = toDouble(t);
    if (!std::isfinite(number.real))
        fail("the number " + t + " is too large");
    return number;
}

} // namespace quillet::json
