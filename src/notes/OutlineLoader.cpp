#include "notes/OutlineLoader.h"

#include "notes/OutlineView.h"
#include "notes/TrimValue.h"
#include "store/NoteStore.h"
#include "store/OutlineRowCheck.h"

#include <stdexcept>

namespace quillet {

namespace {

std::string reason(RowProblem problem, const CheckedRow &row)
{
    switch (problem) {
    case RowProblem::KeyNull:
        return "its key (Kleidi) is Null";
    case RowProblem::KeyEmpty:
        return "its key (Kleidi) is empty";
    case RowProblem::TitleNull:
        return "its title (MyText) is Null";
    case RowProblem::ExpandedNull:
    case RowProblem::ExpandedNotBoolean:
        return "its expanded flag (anoixto) is not true or false";
    case RowProblem::DuplicateKey:
        return "the key is already in the outline";
    case RowProblem::ParentNotBefore:
        return "its parent \"" + row.parentKey + "\" is not in the outline";
    case RowProblem::KeyOutsideScheme:
        break;
    }
    return {};
}

// The key as the row stores it, surrounding spaces and all, so that the row is found again.
std::string storedKey(const Value &key)
{
    if (const std::optional<std::string_view> text = key.textView())
        return std::string(*text);
    return key.toText().value_or(std::string());
}

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void loadOutline(NoteStore &store, OutlineView &outline)
{
    OutlineModel &model = outline.nodes();
    OutlineRowCheck rowCheck;
    std::vector<int> expanded;

    // The rows arrive as one model reset; the expanded flags go on once every node exists,
    // also when a bad row stops the loading, so the nodes before it keep their state.
    model.beginBulk();
    const auto finish = [&] {
        model.endBulk();
        for (int number : expanded)
            outline.expand(model.indexOf(number));
    };
    try {
        store.scanOutline([&](const OutlineRow &row) {
            const CheckedRow checked = rowCheck.check(row);
            const auto refuse = [&](const std::string &why) {
                throw StoreError(0,
                                 "The row with ID " + std::to_string(row.id) + " and key \"" +
                                     checked.key + "\" cannot be placed in the outline: " + why +
                                     ". The outline shows the rows before it.",
                                 store.path());
            };
            if (const std::optional<RowProblem> refusal = checked.refusal())
                refuse(reason(*refusal, checked));
            int number = -1;
            try {
                number = model.add(fromUtf8(checked.key), TrimValue(row.title),
                                   fromUtf8(checked.parentKey), storedKey(row.key));
            } catch (const std::invalid_argument &why) {
                // Keys the outline already holds (a second load without clearing) or that
                // read as the same text.
                refuse(why.what());
            }
            if (checked.expanded)
                expanded.push_back(number);
        });
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

} // namespace quillet
