#include "platform/qt/QtPrinters.h"

#include <QPrinterInfo>

namespace quillet {

int QtPrinters::duplexOf(QPrinter::DuplexMode mode)
{
    switch (mode) {
    case QPrinter::DuplexLongSide:
    case QPrinter::DuplexAuto:
        return Printers::LongEdge;
    case QPrinter::DuplexShortSide:
        return Printers::ShortEdge;
    case QPrinter::DuplexNone:
        break;
    }
    return Printers::Simplex;
}

QtPrinters::QtPrinters() = default;

const QString &QtPrinters::current()
{
    // The desktop's default printer is asked for when a printer is first needed, not at
    // start-up: asking loads the print system's libraries and asks its server, which held up
    // the window's first showing.
    if (!m_lookedUp) {
        m_lookedUp = true;
        const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
        if (!printer.isNull()) {
            m_current = printer.printerName();
            m_duplex = duplexOf(printer.defaultDuplexMode());
        } else if (const QStringList names = installed(); !names.isEmpty()) {
            m_current = names.front();
        }
    }
    if (!m_current)
        throw PrinterUnavailable("No printer is installed on this computer.");
    return *m_current;
}

QString QtPrinters::deviceName()
{
    return current();
}

QString QtPrinters::driverName()
{
    return QPrinterInfo::printerInfo(current()).makeAndModel();
}

QString QtPrinters::portName()
{
    return QPrinterInfo::printerInfo(current()).location();
}

int QtPrinters::orientation()
{
    current();
    return m_orientation;
}

int QtPrinters::duplex()
{
    current();
    return m_duplex;
}

int QtPrinters::copies()
{
    current();
    return m_copies;
}

void QtPrinters::setOrientation(int orientation)
{
    current();
    if (orientation != Portrait && orientation != Landscape)
        throw PrinterUnavailable("The printer cannot take that orientation.");
    m_orientation = orientation;
}

void QtPrinters::setDuplex(int duplex)
{
    const QPrinterInfo printer = QPrinterInfo::printerInfo(current());
    const QList<QPrinter::DuplexMode> modes = printer.supportedDuplexModes();
    const bool takes = duplex == Simplex ||
                       (duplex == LongEdge && modes.contains(QPrinter::DuplexLongSide)) ||
                       (duplex == ShortEdge && modes.contains(QPrinter::DuplexShortSide));
    if (!takes)
        throw PrinterUnavailable("The printer cannot print on both sides that way.");
    m_duplex = duplex;
}

void QtPrinters::setCopies(int copies)
{
    current();
    if (copies < 1)
        throw PrinterUnavailable("The number of copies must be 1 or more.");
    m_copies = copies;
}

QStringList QtPrinters::installed()
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    names.sort(Qt::CaseInsensitive);
    return names;
}

void QtPrinters::makeCurrent(int index)
{
    const QStringList names = installed();
    if (index < 0 || index >= names.size())
        throw PrinterUnavailable("There is no such printer.");
    m_lookedUp = true;
    if (m_current != names[index]) {
        m_current = names[index];
        m_duplex = duplexOf(QPrinterInfo::printerInfo(names[index]).defaultDuplexMode());
    }
}

} // namespace quillet
