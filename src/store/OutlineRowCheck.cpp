#include "store/OutlineRowCheck.h"

#include "store/Keys.h"

#include <algorithm>

namespace quillet {

std::optional<RowProblem> CheckedRow::refusal() const
{
    const auto found = std::find_if(problems.begin(), problems.end(), keepsRowOut);
    if (found == problems.end())
        return std::nullopt;
    return *found;
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
    if (!m_firstIds.try_emplace(checked.key, row.id).second) {
        checked.problems.push_back(RowProblem::DuplicateKey);
        return checked;
    }
    checked.parentKey = keys::parent(checked.key);
    if (!checked.parentKey.empty() && !m_firstIds.count(checked.parentKey))
        checked.problems.push_back(RowProblem::ParentNotBefore);
    return checked;
}

std::optional<std::int64_t> OutlineRowCheck::firstIdOf(const std::string &key) const
{
    const auto found = m_firstIds.find(key);
    if (found == m_firstIds.end())
        return std::nullopt;
    return found->second;
}

} // namespace quillet
