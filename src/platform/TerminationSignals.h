#pragma once

#include <QObject>

class QSocketNotifier;

namespace quillet {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered on the user-interface thread,
// so that a service manager stopping the program or a closed terminal takes the same closing
// path as the user closing the window. The handler itself only writes one byte to a pipe.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void requested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace quillet
