#pragma once

#include <QString>

class QLabel;

#include <string>

namespace quillet {

class OutlineView;

// The notes window's record of the selected item; an empty Key means that nothing is selected.
// The fields are always written together, from one node, and keep the node's title and path as
// they were when it was selected. Every operation on one item (show, store the text or the
// format, rename) finds its row through StoredKey: Key without surrounding spaces is what the
// outline shows and numbers by, but a row may store its key with spaces.
struct CurrentSelection
{
    QString Key;
    QString Text;
    QString Index; // the node's 1-based index, as decimal text
    // The path line's caption until something is selected.
    QString FullPath = QStringLiteral("Label3");
    std::string StoredKey;

    bool isEmpty() const { return Key.isEmpty(); }

    // The record of node index (1-based) of the outline.
    static CurrentSelection of(const OutlineView &outline, int index);
};

// Shows the path in the path line: a path wider than the line is cut in the middle, where the
// least is lost, and the whole path is then its tooltip, wrapped to the screen's width.
void showPath(QLabel &line, const QString &path);

} // namespace quillet
