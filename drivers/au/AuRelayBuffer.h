#pragma once

#include <QString>
#include <QStringList>

namespace Quorlix {

// What the LIMS sends toward an AU analyzer is relayed unchanged, but only in whole units: each
// ACK as soon as it arrives (even while a frame is half collected; it is not part of the frame)
// and each frame, STX through ETX, once it is complete. Characters outside a frame, a frame
// interrupted by a new STX and a frame that passes Limit characters without its ETX are dropped
// and named in a monitor line.
class AuRelayBuffer
{
public:
    static constexpr qsizetype Limit = 4096;

    struct Output
    {
        QStringList forward; // in the order received: a lone ACK or a complete frame each
        QStringList problems;
    };

    Output append(const QString& piece);

    // The frame collected so far (empty between frames).
    const QString& pending() const { return m_frame; }

private:
    QString m_frame;
    QString m_noise; // characters outside a frame, reported once per piece
};

} // namespace Quorlix
