#include "platform/PrinterRecords.h"

#include <algorithm>
#include <stdexcept>

namespace quillet::printerRecords {

namespace {

template <std::size_t N>
void putWord(std::array<std::uint8_t, N> &bytes, std::size_t at, std::int16_t value)
{
    const auto bits = static_cast<std::uint16_t>(value);
    bytes[at] = static_cast<std::uint8_t>(bits & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(bits >> 8);
}

std::int16_t word(const DevMode &bytes, std::size_t at)
{
    return static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// The first bytes of text, at most limit of them, never ending inside a UTF-8 character.
QByteArray cut(const QByteArray &text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    qsizetype end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.left(end);
}

std::int16_t offsetAfter(int offset, const QByteArray &name)
{
    const int next = offset + static_cast<int>(name.size()) + 1;
    if (next > 32767)
        throw std::overflow_error("A printer name is too long for the printer records.");
    return static_cast<std::int16_t>(next);
}

} // namespace

DevMode devMode(const QString &deviceName, std::int16_t orientation)
{
    DevMode mode{};
    QByteArray name = cut(deviceName.toUtf8(), kNameSize);
    name.append(QByteArray(kNameSize - name.size(), ' '));
    std::copy(name.begin(), name.end(), mode.begin() + kNameOffset);
    putWord(mode, kSizeOffset, static_cast<std::int16_t>(mode.size()));
    const std::uint32_t fields = kOrientationAndDuplex;
    for (std::size_t i = 0; i < 4; ++i)
        mode[kFieldsOffset + i] = static_cast<std::uint8_t>((fields >> (8 * i)) & 0xFF);
    putWord(mode, kOrientationOffset, orientation);
    return mode;
}

void setDuplex(DevMode &mode, std::int16_t duplex)
{
    putWord(mode, kDuplexOffset, duplex);
}

DevNames devNames(const QByteArray &driver, const QByteArray &device, const QByteArray &port)
{
    constexpr std::int16_t kDriverOffset = 8;
    const std::int16_t deviceOffset = offsetAfter(kDriverOffset, driver);
    const std::int16_t portOffset = offsetAfter(deviceOffset, device);
    DevNames names{};
    putWord(names, 0, kDriverOffset);
    putWord(names, 2, deviceOffset);
    putWord(names, 4, portOffset);
    putWord(names, 6, 0);

    constexpr qsizetype kTextSize = 100;
    QByteArray text = driver + '\0' + device + '\0' + port + '\0';
    text = text.left(kTextSize);
    text.append(QByteArray(kTextSize - text.size(), ' '));
    std::copy(text.begin(), text.end(), names.begin() + 8);
    return names;
}

QString deviceName(const DevMode &mode)
{
    const auto *begin = reinterpret_cast<const char *>(mode.data()) + kNameOffset;
    const auto *end = std::find(begin, begin + kNameSize, '\0');
    if (end == begin + kNameSize)
        throw std::invalid_argument("The printer's name from the print dialog has no end.");
    return QString::fromUtf8(begin, end - begin);
}

std::int16_t orientation(const DevMode &mode)
{
    return word(mode, kOrientationOffset);
}

std::int16_t copies(const DevMode &mode)
{
    return word(mode, kCopiesOffset);
}

std::int16_t duplex(const DevMode &mode)
{
    return word(mode, kDuplexOffset);
}

DevMode answered(DevMode mode, const QString &deviceName, std::int16_t copies, std::int16_t duplex,
                 std::int16_t orientation)
{
    const QByteArray name = cut(deviceName.toUtf8(), kNameSize - 1);
    std::fill(mode.begin() + kNameOffset, mode.begin() + kNameOffset + kNameSize, 0);
    std::copy(name.begin(), name.end(), mode.begin() + kNameOffset);
    putWord(mode, kCopiesOffset, copies);
    putWord(mode, kDuplexOffset, duplex);
    putWord(mode, kOrientationOffset, orientation);
    return mode;
}

QString deviceNameIn(const DevNames &names)
{
    const int offset = names[2] | (names[3] << 8);
    if (offset < 8 || offset >= static_cast<int>(names.size()))
        return {};
    const auto *begin = reinterpret_cast<const char *>(names.data()) + offset;
    const auto *end =
        std::find(begin, reinterpret_cast<const char *>(names.data()) + names.size(), '\0');
    return QString::fromUtf8(begin, end - begin);
}

} // namespace quillet::printerRecords
