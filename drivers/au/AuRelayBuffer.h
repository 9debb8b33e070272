#pragma once

#include <QString>
#include <QStringList>

namespace Quorlix {

// What arrives on an AU line, cut into whole units: each ACK as soon as it arrives (even while a
// frame is half collected; it is not part of the frame) and each frame, STX through ETX, once it is
// complete. What the LIMS sends toward the analyzer is relayed in these units unchanged; what the
// analyzer sends is handled frame by frame. Line ends (CR, LF) between frames are ignored. Other
// characters outside a frame, a frame interrupted by a new STX and a frame that passes Limit
// characters without its ETX are dropped and named in a monitor line.
class AuRelayBuffer
{
public:
    static constexpr qsizetype Limit = 4096;

    // `from` names the sender in the monitor lines: "the LIMS", "the analyzer".
    explicit AuRelayBuffer(QString from = QStringLiteral("the LIMS")) : m_from(std::move(from)) {}

    struct Output
    {
        QStringList forward; // in the order received: a lone ACK or a complete frame each
        QStringList problems;
    };

    Output append(const QString& piece);

    // The frame collected so far (empty between frames).
    const QString& pending() const { return m_frame; }

private:
    QString m_from;
    QString m_frame;
    QString m_noise; // characters outside a frame, reported once per piece
};

} // namespace Quorlix
