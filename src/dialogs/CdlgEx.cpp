#include "dialogs/CdlgEx.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace quillet {

CdlgEx::CdlgEx(Choosers &choosers)
    : m_choosers(choosers)
{
}

void CdlgEx::setAction(std::int32_t action)
{
    switch (action) {
    case 3:
        ShowColor();
        break;
    case 4:
        ShowFont();
        break;
    default:
        // 0, 11, negative numbers and numbers past the table open nothing.
        break;
    }
}

std::int32_t CdlgEx::IconSize()
{
    if (m_iconSize != 16 && m_iconSize != 32)
        m_iconSize = 32;
    return m_iconSize;
}

void CdlgEx::setIconSize(std::int32_t value)
{
    m_iconSize = value == 16 ? 16 : 32;
}

void CdlgEx::cancelled() const
{
    if (m_cancelError)
        throw DialogCancelled();
}

void CdlgEx::ShowFont()
{
    FontRequest request;

    // The face name goes into a field of 33 bytes with its NUL: a longer name is an error
    // before anything opens.
    const QByteArray face = m_fontName.toUtf8();
    if (face.size() + 1 > static_cast<qsizetype>(request.font.faceName.size()))
        throw std::out_of_range("The font name \"" + m_fontName.toStdString() +
                                "\" is longer than 32 bytes.");
    std::memcpy(request.font.faceName.data(), face.constData(),
                static_cast<std::size_t>(face.size()));

    // The cell height in pixels for the size in points, halves to even.
    const double dpi = m_choosers.logicalDpiY(m_hOwner);
    request.font.height = static_cast<std::int32_t>(std::nearbyint(m_fontSize / 72.0 * dpi));
    request.font.italic = m_italic ? 1 : 0;
    request.font.underline = m_underline ? 1 : 0;
    request.font.strikeOut = m_strikeThru ? 1 : 0;
    if (m_bold)
        request.font.weight = 700;

    const std::int64_t tenths = std::int64_t{m_fontSize} * 10;
    if (tenths < std::numeric_limits<std::int32_t>::min() ||
        tenths > std::numeric_limits<std::int32_t>::max())
        throw std::overflow_error("The font size " + std::to_string(m_fontSize) + " is too large.");
    request.owner = m_hOwner;
    request.pointSize = static_cast<std::int32_t>(tenths);
    request.options = kFontOptions;
    request.color = m_rgbResult;
    request.fontType = 0x2000;

    const FontResult result = m_choosers.chooseFont(request);
    m_lastResult = result.confirmed ? 1 : 0;
    if (!result.confirmed) {
        cancelled();
        return;
    }
    m_italic = result.font.italic != 0;
    m_underline = result.font.underline != 0;
    m_strikeThru = result.font.strikeOut != 0;
    // Whole points, truncated: 10.5 points come back as 10.
    m_fontSize = result.pointSize / 10;
    m_rgbResult = result.color;
    m_bold = (result.fontType & 0x100) != 0;
    // The name of the font actually made; when none can be made, the old name stays.
    if (const std::optional<QString> realised = m_choosers.realisedFace(result.font))
        m_fontName = realised->left(79);
}

void CdlgEx::ShowColor()
{
    ColorRequest request;
    request.owner = m_hOwner;
    request.color = m_rgbResult;
    // Every call starts from 16 custom colours of 0xFFFFFFFF; what the user makes of them is
    // not kept.
    request.customColors.fill(0xFFFFFFFFu);
    request.options = static_cast<std::uint32_t>(m_flags) & kColorFlagsMask;

    const ColorResult result = m_choosers.chooseColor(request);
    m_lastResult = result.confirmed ? 1 : 0;
    if (!result.confirmed) {
        cancelled();
        return;
    }
    m_rgbResult = result.color;
}

} // namespace quillet
