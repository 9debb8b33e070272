#pragma once

#include <QByteArray>
#include <QString>

namespace Quorlix::Test {

// The far end of a pseudo-terminal: the program under test opens slaveName() like a serial device,
// the test reads and writes the master side, as an analyzer or a LIMS would.
class PtyPeer
{
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool ok() const { return m_master >= 0; }
    QString slaveName() const { return m_name; }
    void write(const QByteArray& bytes);
    // What has arrived so far (without waiting).
    QByteArray readAvailable();
    // Reads until at least count bytes arrived in all, or the timeout passed; keeps the event loop
    // running meanwhile. Returns everything read by this call.
    QByteArray readAtLeast(int count, int timeoutMs = 3000);
    // Closes the master side: the program sees its peer vanish.
    void hangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_name;
};

} // namespace Quorlix::Test
