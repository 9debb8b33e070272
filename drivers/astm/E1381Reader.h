#pragma once

#include <QList>
#include <QString>

namespace Quorlix {

// Cuts the characters received on an ASTM E1381 line into frames and link characters, whatever
// pieces the serial driver happened to deliver: a frame may arrive split anywhere, several frames
// or an ENQ and a frame may arrive in one piece. The reader judges nothing; the link does.
//
// A frame runs from STX to the CR after its two checksum characters; the LF that follows is one of
// the characters ignored outside a frame (CR, LF, DC1). STX, ENQ or EOT inside a frame cut it short:
// the sender started over or gave up. Memory is bounded: of a frame longer than the protocol
// allows, only the beginning is kept.
class E1381Reader
{
public:
    struct Piece
    {
        enum class Kind
        {
            Frame,   // a complete frame, STX up to the CR after the checksum
            Cut,     // a frame begun but cut short
            Control, // ENQ, EOT, ACK or NAK
            Noise,   // other characters outside a frame
        };
        Kind kind = Kind::Noise;
        QString text;          // the characters (of Noise and of an overlong frame only the first ones)
        qsizetype size = 0;    // how many characters arrived
        bool overlong = false; // a frame with more text than E1381Frame::MaxReceivedText
    };

    // The most characters kept of one frame, and of noise for its report.
    static constexpr qsizetype MaxKept = 256;
    static constexpr qsizetype NoiseShown = 40;

    QList<Piece> read(QStringView chunk);
    // Forgets a frame begun (the link gave up on the message).
    void reset();
    qsizetype buffered() const { return m_frame.size(); }

private:
    void take(QChar c, QList<Piece>& pieces);
    void flushNoise(QList<Piece>& pieces);

    QString m_frame;      // from STX on; empty outside a frame
    qsizetype m_size = 0; // characters of the frame received
    int m_trailer = -1;   // characters after ETX or ETB, -1 before them
    Piece m_noise;
};

} // namespace Quorlix
