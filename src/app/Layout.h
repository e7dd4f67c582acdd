#pragma once

#include <optional>

namespace quillet {

// Where the resize handler puts the notes window's stretching controls for a client area of
// the given size, in twips. A width or height that would be negative is left out: that
// assignment is skipped and the control keeps its previous size; the other steps still apply.
struct NotesLayout
{
    std::optional<float> formWidth;
    std::optional<float> formHeight;
    std::optional<float> editorWidth;
    std::optional<float> editorHeight;
    std::optional<float> outlineHeight;
    float panelTop = 0;
};

// formWidth and formHeight: the notes window's size before the resize, used where the client
// size cannot be applied.
NotesLayout layoutNotes(float clientWidth, float clientHeight, float formWidth, float formHeight);

} // namespace quillet
