#include "tools/ImportedOutline.h"

#include "store/Keys.h"

namespace quillet::dbtool {

std::size_t ImportedOutline::add(std::size_t parent, std::string title, std::string note)
{
    // Said as soon as it is so, so that a file of millions of items, or a folder whose links
    // lead into the same folders again and again, is not read to its end first.
    if (size() >= static_cast<std::size_t>(keys::kMaxItems))
        throw ImportRefused("the outline read holds more than the " +
                            std::to_string(keys::kMaxItems) +
                            " items Quillet shows; nothing was imported.");
    const std::size_t index = items.size();
    ImportedItem item;
    item.title = std::move(title);
    item.note = std::move(note);
    items.push_back(std::move(item));
    items[parent].children.push_back(index);
    return index;
}

bool toUtf8(std::string &text)
{
    // Most text is ASCII or valid UTF-8: the copy is made only when some byte is not.
    if (keys::isUtf8(text))
        return false;
    std::size_t pos = 0;
    for (; pos < text.size(); ++pos) {
        if (static_cast<unsigned char>(text[pos]) < 0x80)
            continue;
        std::size_t next = pos;
        if (!keys::decode(text, next))
            break;
        pos = next - 1;
    }
    std::string out = text.substr(0, pos);
    out.reserve(text.size() + text.size() / 8);
    while (pos < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[pos]);
        std::size_t next = pos;
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++pos;
        } else if (keys::decode(text, next)) {
            out.append(text, pos, next - pos);
            pos = next;
        } else {
            out += keys::keyOfCode(byte);
            ++pos;
        }
    }
    text = std::move(out);
    return true;
}

} // namespace quillet::dbtool
