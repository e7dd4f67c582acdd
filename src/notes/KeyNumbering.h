#pragma once

#include <QString>

namespace quillet {

class OutlineModel;

// Where a new item goes and what the confirmation calls that place.
struct NewItem
{
    QString key;        // the key the new item takes
    QString placeLabel; // names its place in the confirmation prompt
    bool fits = true;   // false when the key scheme has no room for it there
};

// The key of an item's parent; empty for a top-level item.
QString parentKey(const QString &key);

// Numbers are never reused while their item exists and never renumbered: a new item takes the
// highest number among its future siblings plus one (for a top-level item, the character one
// above the highest first character of any key). Only where that would pass 9 (or code 255)
// does it take the lowest free number (or the lowest free character from "A"); fits is false
// when all nine numbers (or every character) are in use.

// A new item at the level of the selected item.
NewItem newSiblingItem(const QString &selectedKey, const OutlineModel &outline);
// A new item under the selected item, whose full path is selectedPath.
NewItem newChildItem(const QString &selectedKey, const QString &selectedPath,
                     const OutlineModel &outline);

// The most items the outline can hold: indices are 16-bit numbers.
constexpr int kMaxItems = 32766;

} // namespace quillet
