#pragma once

#include <QMap>
#include <QString>

namespace Quorlix {

// What stands behind a port number: a serial device (or pseudo-terminal) with its line settings,
// or a serial device server reached over TCP.
struct PortConfig
{
    int number = 0;
    QString device;      // /dev/ttyS0, /dev/ttyUSB0, COM1, ... (empty for TCP)
    QString host;        // TCP only
    quint16 tcpPort = 0; // TCP only
    qint32 baudRate = 9600;
    QChar parity = QLatin1Char('n'); // n, e, o, m, s
    int dataBits = 8;
    int stopBits = 1;
    QString error; // the configured value cannot be used

    bool isTcp() const { return !host.isEmpty(); }
    QString describe() const; // "/dev/ttyUSB0 9600,n,8,1" or "tcp://host:port"
};

// The device of port N: the ini value com<N> when given ("/dev/ttyUSB0", "/dev/ttyUSB0,9600,e,7,2",
// "tcp://10.0.0.5:4001"), else /dev/ttyS<N-1> on Linux and COM<N> on Windows.
PortConfig ResolvePort(int number, const QMap<int, QString>& comDevices);

} // namespace Quorlix
