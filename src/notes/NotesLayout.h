#pragma once

#include <optional>

namespace quillet {

// Where the notes window's stretching controls go, in twips. A width or height left out would
// have been negative: that control keeps its previous size, and the other steps still apply.
struct NotesLayout
{
    std::optional<float> formWidth;
    std::optional<float> formHeight;
    std::optional<float> editorWidth;
    std::optional<float> editorHeight;
    std::optional<float> outlineHeight;
    float panelTop = 0;
};

} // namespace quillet
