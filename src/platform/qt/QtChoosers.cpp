#include "platform/qt/QtChoosers.h"

#include "platform/Colors.h"
#include "platform/WindowHandles.h"
#include "platform/qt/FontChooserDialog.h"

#include <QColorDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstring>

namespace quillet {

FontResult QtChoosers::chooseFont(const FontRequest &request)
{
    QFont start(request.font.face());
    start.setPointSizeF(request.pointSize > 0 ? request.pointSize / 10.0 : 10.0);
    start.setBold(request.font.weight >= 600);
    start.setItalic(request.font.italic != 0);
    start.setUnderline(request.font.underline != 0);
    start.setStrikeOut(request.font.strikeOut != 0);

    FontChooserDialog dialog(windowHandles::windowOf(request.owner));
    dialog.setChoice(start, colors::fromStored(request.color));
    FontResult result;
    if (dialog.exec() != QDialog::Accepted)
        return result;

    const QFont chosen = dialog.chosenFont();
    result.confirmed = true;
    const QByteArray face = chosen.family().toUtf8().left(32);
    std::memcpy(result.font.faceName.data(), face.constData(),
                static_cast<std::size_t>(face.size()));
    result.font.weight = chosen.bold() ? 700 : 400;
    result.font.italic = chosen.italic() ? 1 : 0;
    result.font.underline = chosen.underline() ? 1 : 0;
    result.font.strikeOut = chosen.strikeOut() ? 1 : 0;
    result.pointSize = static_cast<std::int32_t>(std::lround(chosen.pointSizeF() * 10));
    result.font.height = static_cast<std::int32_t>(
        std::lround(chosen.pointSizeF() / 72.0 * logicalDpiY(request.owner)));
    result.color = colors::toStored(dialog.chosenColor());
    result.fontType = 0x2000 | (chosen.bold() ? 0x100u : 0u) | (chosen.italic() ? 0x200u : 0u);
    return result;
}

ColorResult QtChoosers::chooseColor(const ColorRequest &request)
{
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(
            i, colors::fromStored(static_cast<std::int32_t>(request.customColors[i])));
    // Without the start-from bit the dialog starts from white, as a fresh choice.
    const QColor start =
        (request.options & 0x1) ? colors::fromStored(request.color) : QColor(Qt::white);
    const QColor chosen = QColorDialog::getColor(start, windowHandles::windowOf(request.owner));
    ColorResult result;
    for (int i = 0; i < 16; ++i)
        result.customColors[i] =
            static_cast<std::uint32_t>(colors::toStored(QColorDialog::customColor(i)));
    if (!chosen.isValid())
        return result;
    result.confirmed = true;
    result.color = colors::toStored(chosen);
    return result;
}

double QtChoosers::logicalDpiY(std::int32_t owner)
{
    if (const QWidget *window = windowHandles::windowOf(owner))
        return window->logicalDpiY();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

std::optional<QString> QtChoosers::realisedFace(const FontRecord &font)
{
    const QString face = font.face();
    if (face.isEmpty())
        return std::nullopt;
    QFont requested(face);
    requested.setBold(font.weight >= 600);
    requested.setItalic(font.italic != 0);
    return FontChooserDialog::plainFamily(QFontInfo(requested).family());
}

} // namespace quillet
