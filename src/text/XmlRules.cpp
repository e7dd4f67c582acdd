#include "text/XmlRules.h"

namespace quillet::xml {

void normaliseLineBreaks(std::string &text)
{
    if (text.find('\r') == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
            continue;
        }
        out += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
    }
    text = std::move(out);
}

} // namespace quillet::xml
