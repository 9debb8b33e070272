#include "SimLine.h"

#include <QElapsedTimer>
#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace QuorlixSim {

namespace {

QString Errno(const char* what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

void MakeRaw(int fd, int baud)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    const speed_t speed = baud == 19200 ? B19200 : baud == 4800 ? B4800 : baud == 38400 ? B38400 : B9600;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tcsetattr(fd, TCSANOW, &tio);
}

} // namespace

SimLine::~SimLine()
{
    for (int fd : {m_fd, m_listen, m_slave})
        if (fd >= 0)
            ::close(fd);
    if (!m_link.isEmpty())
        QFile::remove(m_link);
}

QString SimLine::openDevice(const QString& path, int baud)
{
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (m_fd < 0)
        return Errno("cannot open the device");
    MakeRaw(m_fd, baud);
    return {};
}

QString SimLine::openPty(const QString& link)
{
    char name[256] = {};
    if (openpty(&m_fd, &m_slave, name, nullptr, nullptr) != 0)
        return Errno("cannot create a pseudo-terminal");
    MakeRaw(m_slave, 9600);
    QFile::remove(link);
    if (!QFile::link(QString::fromLocal8Bit(name), link))
        return QStringLiteral("cannot create the link %1").arg(link);
    m_link = link;
    return {};
}

QString SimLine::hangUpPty(int pauseMs)
{
    if (m_link.isEmpty())
        return QStringLiteral("hangup needs --pty");
    const QString link = m_link;
    ::close(m_fd);
    ::close(m_slave);
    m_fd = m_slave = -1;
    QFile::remove(link);
    m_link.clear();
    m_pending.clear();
    ::usleep(useconds_t(pauseMs) * 1000);
    return openPty(link);
}

QString SimLine::listenTcp(quint16 port, int acceptTimeoutMs)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 1) != 0)
        return Errno("cannot listen");
    pollfd p{m_listen, POLLIN, 0};
    if (::poll(&p, 1, acceptTimeoutMs) <= 0)
        return QStringLiteral("nobody connected to port %1").arg(port);
    m_fd = ::accept(m_listen, nullptr, nullptr);
    if (m_fd < 0)
        return Errno("accept failed");
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return {};
}

QString SimLine::connectTcp(const QString& host, quint16 port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &address.sin_addr) != 1)
        return QStringLiteral("%1 is not an IPv4 address").arg(host);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return Errno("cannot connect");
    return {};
}

bool SimLine::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (n > 0)
            done += n;
    }
    return true;
}

QByteArray SimLine::readUntil(int timeoutMs, const std::function<qsizetype(QByteArray&)>& complete)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (const qsizetype n = complete(m_pending); n > 0) {
            const QByteArray answer = m_pending.left(n);
            m_pending.remove(0, n);
            return answer;
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            return {};
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, int(left)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            m_pending.append(buffer, n);
    }
}

QByteArray SimLine::readFrame(int timeoutMs)
{
    return readUntil(timeoutMs, [](QByteArray& pending) -> qsizetype {
        // An ACK or NAK ahead of a frame is an answer of its own (an AU host sends its ACK and then
        // the order frame).
        if (!pending.isEmpty() && (pending.at(0) == '\x06' || pending.at(0) == '\x15'))
            return 1;
        const qsizetype stx = pending.indexOf('\x02');
        const qsizetype etx = stx >= 0 ? pending.indexOf('\x03', stx) : -1;
        if (etx >= 0) {
            pending.remove(0, stx); // bytes before the frame are no part of the answer
            return etx - stx + 1;
        }
        return 0;
    });
}

QByteArray SimLine::drain(int waitMs)
{
    pollfd p{m_fd, POLLIN, 0};
    while (::poll(&p, 1, waitMs) > 0) {
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        m_pending.append(buffer, n);
    }
    const QByteArray out = m_pending;
    m_pending.clear();
    return out;
}

} // namespace QuorlixSim
