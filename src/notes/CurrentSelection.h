#pragma once

#include <QString>

namespace quillet {

class OutlineView;

// The notes window's record of the selected item. Every operation on one item (show, store the
// text or the format, rename) finds its row through Key; an empty Key means that nothing is
// selected. The four fields are always written together, from one node, and keep the node's
// title and path as they were when it was selected.
struct CurrentSelection
{
    QString Key;
    QString Text;
    QString Index; // the node's 1-based index, as decimal text
    // The path line's caption until something is selected.
    QString FullPath = QStringLiteral("Label3");

    bool isEmpty() const { return Key.isEmpty(); }

    // The record of node index (1-based) of the outline.
    static CurrentSelection of(const OutlineView &outline, int index);
};

} // namespace quillet
