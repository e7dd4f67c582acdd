#include "notes/outline/OutlineLoader.h"

#include "notes/outline/OutlineView.h"
#include "notes/outline/TrimValue.h"
#include "session/NotesSession.h"
#include "store/NoteStore.h"
#include "store/OutlineRowCheck.h"

#include <stdexcept>

namespace quillet {

std::vector<SkippedRow> loadOutline(NotesSession &session, OutlineView &outline)
{
    OutlineModel &model = outline.nodes();
    OutlineRowCheck rowCheck;
    std::vector<int> expanded;
    std::vector<SkippedRow> skipped;
    // Rows left out for a parent not seen before them: whether the parent comes later in the
    // table or nowhere is known only after the whole pass.
    std::vector<std::pair<std::size_t, CheckedRow>> parentNotBefore;

    // The rows arrive as one model reset; the expanded flags go on once every node exists,
    // also when reading the table fails part-way, so the nodes before it keep their state.
    model.beginBulk();
    const auto finish = [&] {
        model.endBulk();
        for (int number : expanded)
            outline.expand(model.indexOf(number));
    };
    try {
        session.scanOutline([&](const OutlineRow &row) {
            const CheckedRow checked = rowCheck.check(row);
            if (const std::optional<RowProblem> refusal = checked.refusal()) {
                if (*refusal == RowProblem::ParentNotBefore)
                    parentNotBefore.emplace_back(skipped.size(), checked);
                skipped.push_back(
                    {row.id, checked.key,
                     describe(*refusal, row, checked, rowCheck.firstIdOf(checked.key))});
                return;
            }
            try {
                const int number =
                    model.add(fromStored(checked.key), TrimValue(row.title),
                              fromStored(checked.parentKey), storedKeyOf(row.key), row.id);
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
    for (const auto &[at, checked] : parentNotBefore)
        skipped[at].reason = describe(RowProblem::ParentNotBefore, {}, checked,
                                      rowCheck.firstIdOf(checked.parentKey));
    return skipped;
}

} // namespace quillet
