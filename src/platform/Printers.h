#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace quillet {

// A printer setting or the printer itself cannot be had: no printer is installed, or the
// printer does not answer. The text says why.
class PrinterUnavailable : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The program's printers: which one is current, its settings, and the installed ones. The
// settings belong to the program (what it will print with), not to the printer's own defaults.
class Printers
{
public:
    // Orientation and duplex values as the printer records carry them.
    enum Orientation : int { Portrait = 1, Landscape = 2 };
    enum Duplex : int { Simplex = 1, LongEdge = 2, ShortEdge = 3 };

    virtual ~Printers() = default;

    // The current printer's names and settings. Each throws PrinterUnavailable when there is no
    // current printer.
    virtual QString deviceName() = 0;
    virtual QString driverName() = 0;
    virtual QString portName() = 0;
    virtual int orientation() = 0;
    virtual int duplex() = 0;
    virtual int copies() = 0;

    // Each throws PrinterUnavailable for a value the current printer cannot take.
    virtual void setOrientation(int orientation) = 0;
    virtual void setDuplex(int duplex) = 0;
    virtual void setCopies(int copies) = 0;

    // The installed printers' device names, always in the same order.
    virtual QStringList installed() = 0;
    // Makes the installed printer at position index (0-based, in installed() order) current.
    virtual void makeCurrent(int index) = 0;
};

} // namespace quillet
