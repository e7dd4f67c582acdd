#include "notes/outline/CurrentSelection.h"

#include "notes/outline/OutlineView.h"
#include "platform/PlainText.h"

#include <QLabel>
#include <QScreen>
#include <QToolTip>

namespace quillet {

CurrentSelection CurrentSelection::of(const OutlineView &outline, int index)
{
    return {outline.key(index), outline.text(index), QString::number(index),
            outline.fullPath(index), outline.storedKey(index)};
}

void showPath(QLabel &line, const QString &path)
{
    const QString shown = line.fontMetrics().elidedText(path, Qt::ElideMiddle, line.width());
    line.setText(shown);
    const QScreen *screen = line.screen();
    const int width = screen ? screen->availableGeometry().width() * 9 / 10 : 800;
    line.setToolTip(shown == path ? QString() : plainToolTip(path, QToolTip::font(), width));
}

} // namespace quillet
