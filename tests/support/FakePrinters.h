#pragma once

#include "platform/Printers.h"

#include <vector>

namespace quillet::test {

// Installed printers of the test's making, with a record of every change asked of them.
class FakePrinters : public Printers
{
public:
    struct Printer
    {
        QString device;
        QString driver;
        QString port;
    };

    QString deviceName() override { return current().device; }
    QString driverName() override { return current().driver; }
    QString portName() override { return current().port; }
    int orientation() override { return setting(m_orientation); }
    int duplex() override { return setting(m_duplex); }
    int copies() override { return setting(m_copies); }
    void setOrientation(int value) override { changed("orientation", value, m_orientation); }
    void setDuplex(int value) override { changed("duplex", value, m_duplex); }
    void setCopies(int value) override { changed("copies", value, m_copies); }
    QStringList installed() override
    {
        QStringList names;
        for (const Printer &printer : printers)
            names << printer.device;
        return names;
    }
    void makeCurrent(int index) override
    {
        currentIndex = index;
        changes.push_back("current " + std::to_string(index));
    }

    std::vector<Printer> printers;
    int currentIndex = 0;
    std::vector<std::string> changes; // "copies 2", "current 1", in the order asked

private:
    const Printer &current()
    {
        if (currentIndex < 0 || currentIndex >= static_cast<int>(printers.size()))
            throw PrinterUnavailable("No printer is installed on this computer.");
        return printers[static_cast<std::size_t>(currentIndex)];
    }
    int setting(int value)
    {
        current();
        return value;
    }
    void changed(const char *what, int value, int &setting)
    {
        current();
        setting = value;
        changes.push_back(std::string(what) + " " + std::to_string(value));
    }

    int m_orientation = Portrait;
    int m_duplex = Simplex;
    int m_copies = 1;
};

} // namespace quillet::test
