#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (a session ending, a test harness), SIGINT and SIGHUP (its terminal closed), delivered on the main thread: the handler only
// writes the signal's number to a socket the event loop watches. One instance at a time; destroying it
// restores the handlers it replaced.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the socket could not be made: the signals keep their default effect.
    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};
