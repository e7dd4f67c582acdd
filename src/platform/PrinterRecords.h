#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// The two records that describe a printer to the print dialog, byte for byte: the device mode
// (122 bytes) and the device names (108 bytes). Names are bytes of the system code page (UTF-8
// here); numbers are little-endian.
namespace quillet::printerRecords {

using DevMode = std::array<std::uint8_t, 122>;
using DevNames = std::array<std::uint8_t, 108>;

// Places in the device mode.
constexpr std::size_t kNameOffset = 0; // 32 bytes
constexpr std::size_t kNameSize = 32;
constexpr std::size_t kSizeOffset = 36;
constexpr std::size_t kFieldsOffset = 40;
constexpr std::size_t kOrientationOffset = 44;
constexpr std::size_t kCopiesOffset = 54;
constexpr std::size_t kDuplexOffset = 62;
// The fields the device mode says it sets: orientation and duplex.
constexpr std::uint32_t kOrientationAndDuplex = 0x1001;

// A device mode with the device name (padded with spaces to 32 bytes, cut to 32 at the start of
// a character), its size, the field mask and the orientation; everything else 0.
DevMode devMode(const QString &deviceName, std::int16_t orientation);
void setDuplex(DevMode &mode, std::int16_t duplex);

// The device names: the offsets of the driver (8), device and port names, the default flag 0,
// and the three names each ended by a NUL, padded with spaces to 100 bytes (cut to 100).
// Throws std::overflow_error when an offset passes 32767.
DevNames devNames(const QByteArray &driver, const QByteArray &device, const QByteArray &port);

// Reading a device mode back. The name ends at its first NUL; a name without one in its 32
// bytes is std::invalid_argument.
QString deviceName(const DevMode &mode);
std::int16_t orientation(const DevMode &mode);
std::int16_t copies(const DevMode &mode);
std::int16_t duplex(const DevMode &mode);

// A device mode answered by the print dialog: name (cut to 31 bytes and NUL-ended), copies,
// duplex and orientation written into a copy of mode.
DevMode answered(DevMode mode, const QString &deviceName, std::int16_t copies, std::int16_t duplex,
                 std::int16_t orientation);

// The device name in a device-names record (up to its NUL).
QString deviceNameIn(const DevNames &names);

} // namespace quillet::printerRecords
