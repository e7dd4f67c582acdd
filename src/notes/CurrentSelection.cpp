#include "notes/CurrentSelection.h"

#include "notes/OutlineView.h"

namespace quillet {

CurrentSelection CurrentSelection::of(const OutlineView &outline, int index)
{
    return {outline.key(index), outline.text(index), QString::number(index),
            outline.fullPath(index), outline.storedKey(index)};
}

} // namespace quillet
