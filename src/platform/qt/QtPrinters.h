#pragma once

#include "platform/Printers.h"

#include <QPrinter>

#include <optional>

namespace quillet {

// The printers the desktop's print system knows (CUPS here). The current printer starts as the
// desktop's default one, looked up when a printer is first needed; its settings are the
// program's, starting from the printer's defaults.
class QtPrinters : public Printers
{
public:
    QtPrinters();

    // A duplex mode of the toolkit as the printer records carry it.
    static int duplexOf(QPrinter::DuplexMode mode);

    QString deviceName() override;
    QString driverName() override;
    QString portName() override;
    int orientation() override;
    int duplex() override;
    int copies() override;
    void setOrientation(int orientation) override;
    void setDuplex(int duplex) override;
    void setCopies(int copies) override;
    QStringList installed() override;
    void makeCurrent(int index) override;

private:
    const QString &current();

    bool m_lookedUp = false; // the default printer was looked up, or one was chosen
    std::optional<QString> m_current;
    int m_orientation = Portrait;
    int m_duplex = Simplex;
    int m_copies = 1;
};

} // namespace quillet
