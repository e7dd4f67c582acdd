#include "app/Layout.h"

namespace quillet {

namespace {

std::optional<float> size(float value)
{
    if (value < 0)
        return std::nullopt;
    return value;
}

} // namespace

NotesLayout layoutNotes(float clientWidth, float clientHeight, float formWidth, float formHeight)
{
    NotesLayout layout;
    layout.formWidth = size(clientWidth);
    layout.formHeight = size(clientHeight);
    // The later steps read the notes window's size as it is after the first two.
    const float width = layout.formWidth.value_or(formWidth);
    const float height = layout.formHeight.value_or(formHeight);
    // The editor ends 25 twips short of the right edge; the outline and the editor end where
    // the button panel begins, 960 twips above the bottom.
    layout.editorWidth = size(width - 3885);
    layout.editorHeight = size(height - 960 - 360);
    layout.outlineHeight = size(height - 960);
    layout.panelTop = height - 960;
    return layout;
}

} // namespace quillet
