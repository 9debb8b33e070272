#include "E1381Reader.h"

#include "E1381Frame.h"
#include "core/FrameText.h"

namespace Quorlix {

QList<E1381Reader::Piece> E1381Reader::read(QStringView chunk)
{
    QList<Piece> pieces;
    for (const QChar c : chunk)
        take(c, pieces);
    flushNoise(pieces);
    return pieces;
}

void E1381Reader::reset()
{
    m_frame.clear();
    m_size = 0;
    m_trailer = -1;
}

void E1381Reader::take(QChar c, QList<Piece>& pieces)
{
    if (!m_frame.isEmpty()) {
        if (c == Stx || c == Enq || c == Eot) {
            pieces << Piece{Piece::Kind::Cut, m_frame, m_size, false};
            reset();
        } else {
            ++m_size;
            if (m_trailer < 0 && (c == Etx || c == Etb))
                m_trailer = 0;
            else if (m_trailer >= 0)
                ++m_trailer;
            // Of an overlong frame the start and the end (ETX, checksum, CR) are kept.
            if (m_frame.size() < MaxKept || m_trailer >= 0)
                m_frame += c;
            if (m_trailer == 3) {
                const bool overlong = m_size - 6 > E1381Frame::MaxReceivedText;
                pieces << Piece{Piece::Kind::Frame, m_frame, m_size, overlong};
                reset();
            }
            return;
        }
    }
    if (c == Stx) {
        flushNoise(pieces);
        m_frame = c;
        m_size = 1;
    } else if (c == Enq || c == Eot || c == Ack || c == Nak) {
        flushNoise(pieces);
        pieces << Piece{Piece::Kind::Control, QString(c), 1, false};
    } else if (c != Cr && c != Lf && c != Dc1) {
        if (m_noise.size++ < NoiseShown)
            m_noise.text += c;
    }
}

void E1381Reader::flushNoise(QList<Piece>& pieces)
{
    if (m_noise.size == 0)
        return;
    pieces << m_noise;
    m_noise = Piece();
}

} // namespace Quorlix
