#include "AuRelayBuffer.h"

#include "core/CommLog.h"
#include "core/FrameText.h"

namespace Quorlix {

namespace {

QString Shortened(const QString& text)
{
    // The monitor line names what went, cut to a readable length.
    constexpr qsizetype MaxShown = 80;
    const QString cut = text.size() <= MaxShown ? text : text.left(MaxShown) + QStringLiteral("...");
    return ControlCharsToNames(cut);
}

} // namespace

AuRelayBuffer::Output AuRelayBuffer::append(const QString& piece)
{
    Output out;
    const auto flushNoise = [&] {
        if (m_noise.isEmpty())
            return;
        out.problems << QStringLiteral("from %1: %2 characters outside a frame dropped: \"%3\"")
                            .arg(m_from)
                            .arg(m_noise.size())
                            .arg(Shortened(m_noise));
        m_noise.clear();
    };

    for (const QChar c : piece) {
        if (c == Ack) {
            out.forward << QString(Ack);
        } else if (c == Stx) {
            flushNoise();
            if (!m_frame.isEmpty())
                out.problems << QStringLiteral("from %1: frame interrupted by the next one, dropped: \"%2\"")
                                    .arg(m_from, Shortened(m_frame));
            m_frame = c;
        } else if (m_frame.isEmpty()) {
            // A sender that ends each frame with CR LF: line ends between frames are no fault.
            if (c != Cr && c != Lf)
                m_noise += c;
        } else {
            m_frame += c;
            if (c == Etx) {
                out.forward << m_frame;
                m_frame.clear();
            } else if (m_frame.size() >= Limit) {
                out.problems << QStringLiteral("from %1: frame passed %2 characters without its end, "
                                               "dropped: \"%3\"")
                                    .arg(m_from)
                                    .arg(Limit)
                                    .arg(Shortened(m_frame));
                m_frame.clear();
            }
        }
    }
    flushNoise();
    return out;
}

} // namespace Quorlix
