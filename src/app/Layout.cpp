#include "app/Layout.h"

#include <algorithm>

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

QRect fitWindow(QRect stored, QSize minimum, QSize defaultSize, const QList<QRect> &screens)
{
    QRect window = stored;
    if (stored.width() < minimum.width() || stored.height() < minimum.height())
        window.setSize(defaultSize);
    if (screens.isEmpty())
        return window;

    const auto area = [](const QRect &r) {
        return r.isEmpty() ? qint64{0} : qint64{r.width()} * r.height();
    };
    QRect home = screens.front();
    qint64 shown = 0;
    for (const QRect &screen : screens) {
        if (const qint64 part = area(window.intersected(screen)); part > shown) {
            shown = part;
            home = screen;
        }
    }
    if (shown == 0) {
        window.setSize(window.size().boundedTo(home.size()));
        window.moveTopLeft(home.topLeft());
        return window;
    }
    const QSize fitting = window.size().boundedTo(home.size());
    const bool cut = fitting != window.size();
    window.setSize(fitting);
    if (cut || 4 * area(window.intersected(home)) < area(window)) {
        window.moveLeft(std::clamp(window.left(), home.left(), home.right() - window.width() + 1));
        window.moveTop(std::clamp(window.top(), home.top(), home.bottom() - window.height() + 1));
    }
    return window;
}

} // namespace quillet
