#include "E1381Reader.h"

#include "E1381Frame.h"
#include "core/FrameText.h"

namespace Quorlix {

namespace {

// A character that ends the text of a frame or cuts the frame short.
bool EndsText(QChar c)
{
    return c == Etx || c == Etb || c == Stx || c == Enq || c == Eot;
}

} // namespace

QList<E1381Reader::Piece> E1381Reader::read(QStringView chunk)
{
    QList<Piece> pieces;
    qsizetype i = 0;
    while (i < chunk.size()) {
        if (!m_frame.isEmpty() && m_trailer < 0) {
            // The text of a frame: taken up to its end, or what cuts it short, in one piece.
            qsizetype end = i;
            while (end < chunk.size() && !EndsText(chunk[end]))
                ++end;
            if (end > i) {
                m_size += end - i;
                const qsizetype kept = qMin(end - i, qMax<qsizetype>(0, MaxKept - m_frame.size()));
                m_frame += chunk.mid(i, kept);
                i = end;
                continue;
            }
        }
        take(chunk[i++], pieces);
    }
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
        m_frame.reserve(64);
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
