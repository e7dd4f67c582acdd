#include "notes/Form3.h"
#include "notes/KeyNumbering.h"
#include "notes/OutlineView.h"
#include "platform/Guard.h"
#include "store/Keys.h"
#include "store/Moves.h"

#include <algorithm>
#include <vector>

// The notes window's dragging of items over the outline: where a drop is taken, and the move
// it makes.

namespace quillet {

void Form3::wireDrops()
{
    OutlineView &outline = *m_ui.TreeView1;
    outline.setDropCheck([this](const QString &key, OutlineView::DropPlace place,
                                const QString &target) { return dropAllowed(key, place, target); });
    connect(&outline, &OutlineView::moveRequested, this,
            [this](const QString &key, OutlineView::DropPlace place, const QString &target) {
                guarded(m_platform.messageBoxes, this, [&] {
                    using Kind = moves::Place::Kind;
                    const Kind kind = place == OutlineView::DropPlace::Under    ? Kind::Under
                                      : place == OutlineView::DropPlace::Before ? Kind::Before
                                      : place == OutlineView::DropPlace::After  ? Kind::After
                                                                                : Kind::Top;
                    moveItem(key, moves::Place{kind, target.toStdString()});
                });
            });
}

bool Form3::dropAllowed(const QString &key, OutlineView::DropPlace place,
                        const QString &target) const
{
    // The rules of a move, read from the outline as shown: asked at every movement of the
    // pointer, so the file is not read. The move itself checks them again against the file.
    using Place = OutlineView::DropPlace;
    const OutlineModel &nodes = m_ui.TreeView1->nodes();
    const int moved = nodes.find(key);
    if (moved < 0 || key == QLatin1String("A") || m_session.isReadOnly())
        return false;
    if (place != Place::Top && target.startsWith(key))
        return false; // the item itself, or its own subtree
    if (place == Place::Before && target == QLatin1String("A"))
        return false;
    const QString parent = place == Place::Under ? target
                           : place == Place::Top ? QString()
                                                 : parentKey(target);
    const int parentNode = parent.isEmpty() ? -1 : nodes.find(parent);
    if (parentKey(key) != parent) {
        const int children = parentNode < 0
                                 ? nodes.rowCount()
                                 : static_cast<int>(nodes.node(parentNode).children.size());
        if (children >= (parent.isEmpty() ? 255 - 'A' + 1 : 9))
            return false;
    }
    // The deepest item under the moved one, counted from it.
    int below = 0;
    std::vector<std::pair<int, int>> pending{{moved, 0}};
    while (!pending.empty()) {
        const auto [number, depth] = pending.back();
        pending.pop_back();
        below = std::max(below, depth);
        for (const int child : nodes.node(number).children)
            pending.emplace_back(child, depth + 1);
    }
    const int newDepth = parent.isEmpty() ? 1 : keys::length(parent.toStdString()) + 1;
    return newDepth + below <= keys::kMaxLevels;
}

} // namespace quillet
