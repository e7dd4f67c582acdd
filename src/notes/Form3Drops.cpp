#include "notes/Form3.h"
#include "notes/outline/OutlineShape.h"
#include "notes/outline/OutlineView.h"
#include "platform/Guard.h"
#include "store/MoveRules.h"

// The notes window's dragging of items over the outline: where a drop is taken, and the move
// it makes.

namespace quillet {

void Form3::wireDrops()
{
    OutlineView &outline = *m_ui.TreeView1;
    outline.setDropCheck(
        [this](const QString &key, const moves::Place &place) { return dropAllowed(key, place); });
    connect(&outline, &OutlineView::moveRequested, this,
            [this](const QString &key, const moves::Place &place) {
                guarded(m_platform.messageBoxes, this, [&] { moveItem(key, place); });
            });
}

bool Form3::dropAllowed(const QString &key, const moves::Place &place) const
{
    // The rules of a move, read from the outline as shown: asked at every movement of the
    // pointer, so the file is not read. The move itself asks them again of the file.
    return !m_session.isReadOnly() &&
           moves::judge(OutlineShape(m_ui.TreeView1->nodes()), key.toStdString(), place).allowed();
}

} // namespace quillet
