#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace QuorlixSim {

// The simulated analyzer's end of the line: a serial device, a pseudo-terminal it creates itself
// (its other end published as a symbolic link for the interface to open), or TCP (listening as a
// serial device server does, or connecting). All of them are one file descriptor.
class SimLine
{
public:
    ~SimLine();
    QString openDevice(const QString& path, int baud);
    QString openPty(const QString& link);
    // The pseudo-terminal goes away (its link too) and comes back as a new one after the pause.
    QString hangUpPty(int pauseMs);
    QString listenTcp(quint16 port, int acceptTimeoutMs);
    QString connectTcp(const QString& host, quint16 port);

    bool write(const QByteArray& bytes);
    // Reads until `complete` finds a whole answer at the start of what arrived (it returns its
    // length, 0 while the answer is not complete; it may drop bytes before the answer), or the
    // timeout; the answer is taken off what arrived.
    QByteArray readUntil(int timeoutMs, const std::function<qsizetype(QByteArray&)>& complete);
    // One frame from STX to ETX, or a single ACK or NAK on its own.
    QByteArray readFrame(int timeoutMs);
    // Whatever is there after a short wait (for checking that nothing came).
    QByteArray drain(int waitMs);

private:
    int m_fd = -1;
    int m_listen = -1;
    int m_slave = -1;
    QString m_link;
    QByteArray m_pending;
};

} // namespace QuorlixSim
