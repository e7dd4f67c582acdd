#pragma once

#include <cstddef>
#include <ostream>
#include <string_view>

namespace quillet {

// Writes text with each character for which isSpecial(c, index) holds replaced by what
// escape(out, c) writes, and the runs between them written whole: an export writes tens of
// megabytes, and a stream call per character was most of its time.
template <class IsSpecial, class Escape>
void writeEscaped(std::ostream &out, std::string_view text, IsSpecial &&isSpecial, Escape &&escape)
{
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isSpecial(text[i], i))
            continue;
        out.write(text.data() + run, static_cast<std::streamsize>(i - run));
        escape(out, text[i]);
        run = i + 1;
    }
    out.write(text.data() + run, static_cast<std::streamsize>(text.size() - run));
}

} // namespace quillet
