#pragma once

#include <QDBusConnection>
#include <QString>

namespace ostrel::test {

// A connection of its own to the session bus, closed with this object. Test peers use one so
// that what passes between them and the code under test goes through the bus daemon, exactly
// as between two programs.
class OwnBusConnection {
public:
    OwnBusConnection();
    ~OwnBusConnection();
    OwnBusConnection(const OwnBusConnection&) = delete;
    OwnBusConnection& operator=(const OwnBusConnection&) = delete;

    QDBusConnection& bus() { return bus_; }

    // Returns once the bus daemon has handled everything sent on this connection so far (match
    // rules included), by waiting for the answer to one more call.
    void roundTrip();

private:
    QString name_;
    QDBusConnection bus_;
};

} // namespace ostrel::test
