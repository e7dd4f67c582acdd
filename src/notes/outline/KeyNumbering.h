#pragma once

#include "store/Keys.h"

#include <QString>

namespace quillet {

class OutlineModel;

// Where a new item goes and what the confirmation calls that place.
struct NewItem
{
    QString key;        // the key the new item takes
    QString placeLabel; // names its place in the confirmation prompt
    bool fits = true;   // false when the key scheme has no room for it there
    // A subitem whose key would be longer than keys::kMaxLevels characters: the outline goes
    // no deeper. An item beside one already that deep makes nothing deeper, and is let be.
    bool tooDeep = false;
};

// The key of an item's parent; empty for a top-level item.
QString parentKey(const QString &key);

// New keys follow the store's numbering rule (keys::nextChildNumber, keys::nextTopLevelCode);
// fits is false when all nine numbers (or every character) are in use.

// A new item at the level of the selected item.
NewItem newSiblingItem(const QString &selectedKey, const OutlineModel &outline);
// A new item under the selected item, whose full path is selectedPath.
NewItem newChildItem(const QString &selectedKey, const QString &selectedPath,
                     const OutlineModel &outline);

// The most items the outline can hold.
constexpr int kMaxItems = keys::kMaxItems;

// Why the item cannot be added to an outline of count items, as the refusal says it: the
// outline's own limits first, then the nine numbers of a level; empty when it can.
QString refusalOf(const NewItem &item, int count);

} // namespace quillet
