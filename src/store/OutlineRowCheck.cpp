#include "store/OutlineRowCheck.h"

#include "store/Keys.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace quillet {

std::optional<RowProblem> CheckedRow::refusal() const
{
    const auto found = std::find_if(problems.begin(), problems.end(), keepsRowOut);
    if (found == problems.end())
        return std::nullopt;
    return *found;
}

std::string quote(std::string_view text)
{
    constexpr std::size_t kLimit = 40;
    std::string out = "\"";
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // Cut only at the start of a character, never inside a UTF-8 sequence.
        if (i >= kLimit && (byte & 0xC0) != 0x80)
            break;
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            if (byte == '"' || byte == '\\')
                out += '\\';
            out += static_cast<char>(byte);
        }
    }
    if (i < text.size())
        out += "...";
    return out + '"';
}

std::string describe(RowProblem problem, const OutlineRow &row, const CheckedRow &checked,
                     std::optional<std::int64_t> otherId)
{
    switch (problem) {
    case RowProblem::KeyNull:
        return "the key (Kleidi) is Null";
    case RowProblem::KeyEmpty:
        return "the key (Kleidi) is empty";
    case RowProblem::KeyOutsideScheme:
        return "the key does not follow the key scheme (one character from \"A\" up, then "
               "digits 1 to 9)";
    case RowProblem::TitleNull:
        return "the title (MyText) is Null";
    case RowProblem::ExpandedNull:
        return "the expanded flag (anoixto) is Null";
    case RowProblem::ExpandedNotBoolean:
        return "the expanded flag (anoixto) " + quote(row.expanded.toText().value_or("")) +
               " is neither a number nor true or false";
    case RowProblem::DuplicateKey:
        return "the key repeats that of ID " + std::to_string(otherId.value_or(row.id));
    case RowProblem::ParentNotBefore:
        if (otherId)
            return "its parent " + quote(checked.parentKey) + " is stored after it, at ID " +
                   std::to_string(*otherId) + "; a parent must come before its children";
        return "no row holds its parent key " + quote(checked.parentKey);
    }
    return {};
}

CheckedRow OutlineRowCheck::check(const OutlineRow &row)
{
    CheckedRow checked;
    // Keys and titles are read as text; a number stored there reads as its decimal form.
    if (const std::optional<std::string_view> text = row.key.textView())
        checked.key = keys::trimmedSpaces(*text);
    else if (const std::optional<std::string> number = row.key.toText())
        checked.key = keys::trimmedSpaces(*number);

    if (row.key.isNull())
        checked.problems.push_back(RowProblem::KeyNull);
    else if (checked.key.empty())
        checked.problems.push_back(RowProblem::KeyEmpty);
    else if (!keys::followsScheme(checked.key))
        checked.problems.push_back(RowProblem::KeyOutsideScheme);

    if (row.title.isNull())
        checked.problems.push_back(RowProblem::TitleNull);

    if (row.expanded.isNull()) {
        checked.problems.push_back(RowProblem::ExpandedNull);
    } else if (const std::optional<bool> open = row.expanded.toBool()) {
        checked.expanded = *open;
    } else {
        checked.problems.push_back(RowProblem::ExpandedNotBoolean);
    }

    if (checked.key.empty())
        return checked;
    // A repeated key is the first row's: only a new key is looked at for its parent.
    if (2 * (m_count + 1) > m_slots.size())
        grow();
    const std::size_t hash = std::hash<std::string_view>{}(checked.key);
    Slot &slot = m_slots[slotOf(checked.key, hash)];
    if (slot.used) {
        checked.problems.push_back(RowProblem::DuplicateKey);
        return checked;
    }
    slot = Slot{hash, m_keyBytes.size(), checked.key.size(), row.id, true};
    m_keyBytes += checked.key;
    ++m_count;

    checked.parentKey = keys::parent(checked.key);
    if (!checked.parentKey.empty() && !firstIdOf(checked.parentKey))
        checked.problems.push_back(RowProblem::ParentNotBefore);
    return checked;
}

std::optional<std::int64_t> OutlineRowCheck::firstIdOf(const std::string &key) const
{
    const Slot &slot = m_slots[slotOf(key, std::hash<std::string_view>{}(key))];
    if (!slot.used)
        return std::nullopt;
    return slot.id;
}

std::size_t OutlineRowCheck::slotOf(std::string_view key, std::size_t hash) const
{
    const std::string_view bytes(m_keyBytes);
    const std::size_t mask = m_slots.size() - 1;
    std::size_t at = hash & mask;
    while (m_slots[at].used && (m_slots[at].hash != hash ||
                                bytes.substr(m_slots[at].offset, m_slots[at].length) != key))
        at = (at + 1) & mask;
    return at;
}

void OutlineRowCheck::grow()
{
    std::vector<Slot> old(2 * m_slots.size());
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &slot : old) {
        if (!slot.used)
            continue;
        std::size_t at = slot.hash & mask;
        while (m_slots[at].used)
            at = (at + 1) & mask;
        m_slots[at] = slot;
    }
}

} // namespace quillet
