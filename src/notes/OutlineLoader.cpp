#include "notes/OutlineLoader.h"

#include "notes/OutlineView.h"
#include "notes/TrimValue.h"
#include "store/NoteStore.h"
#include "store/OutlineRowCheck.h"

#include <stdexcept>

namespace quillet {

namespace {

// The key as the row stores it, surrounding spaces and all, so that the row is found again.
std::string storedKey(const Value &key)
{
    if (const std::optional<std::string_view> text = key.textView())
        return std::string(*text);
    return key.toText().value_or(std::string());
}

} // namespace

std::vector<SkippedRow> loadOutline(NoteStore &store, OutlineView &outline)
{
    OutlineModel &model = outline.nodes();
    OutlineRowCheck rowCheck;
    std::vector<int> expanded;
    std::vector<SkippedRow> skipped;

    // The rows arrive as one model reset; the expanded flags go on once every node exists,
    // also when reading the table fails part-way, so the nodes before it keep their state.
    model.beginBulk();
    const auto finish = [&] {
        model.endBulk();
        for (int number : expanded)
            outline.expand(model.indexOf(number));
    };
    try {
        store.scanOutline([&](const OutlineRow &row) {
            const CheckedRow checked = rowCheck.check(row);
            if (const std::optional<RowProblem> refusal = checked.refusal()) {
                skipped.push_back({row.id, checked.key, checked.describe(*refusal)});
                return;
            }
            try {
                const int number = model.add(fromStored(checked.key), TrimValue(row.title),
                                             fromStored(checked.parentKey), storedKey(row.key));
                if (checked.expanded)
                    expanded.push_back(number);
            } catch (const std::invalid_argument &why) {
                // The descendants of a row left out find no parent; so do keys that read as
                // the same text, and rows loaded a second time without clearing.
                skipped.push_back({row.id, checked.key, why.what()});
            }
        });
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return skipped;
}

} // namespace quillet
