#include "FrameBuffer.h"

#include "core/FrameText.h"

namespace Quorlix {

QString FrameBuffer::append(const QString& piece)
{
    QString dropped;
    if (piece.startsWith(Stx) && !m_text.isEmpty()) {
        // What was left is an unfinished frame or noise: the new frame replaces it.
        dropped = QStringLiteral("%1 characters received before the frame's STX dropped").arg(m_text.size());
        m_text.clear();
    }
    m_text += piece;
    if (m_text.size() <= Limit)
        return dropped;

    const qsizetype before = m_text.size();
    const qsizetype lastStx = m_text.lastIndexOf(Stx);
    if (lastStx > 0 && before - lastStx <= Limit)
        m_text.remove(0, lastStx);
    else
        m_text.clear();
    return QStringLiteral("frame buffer passed %1 characters without a complete frame: %2 characters dropped")
        .arg(Limit)
        .arg(before - m_text.size());
}

std::optional<QString> FrameBuffer::takeFrame(qsizetype* dropped)
{
    *dropped = 0;
    for (;;) {
        const qsizetype etx = m_text.indexOf(Etx);
        if (etx < 0)
            return std::nullopt;
        // The frame starts at the last STX before its ETX: an earlier STX began a frame that was
        // never finished.
        const qsizetype stx = etx > 0 ? m_text.lastIndexOf(Stx, etx - 1) : -1;
        if (stx < 0) {
            *dropped += etx + 1; // an ETX that ends no frame
            m_text.remove(0, etx + 1);
            continue;
        }
        *dropped += stx;
        QString frame = m_text.mid(stx, etx - stx + 1);
        m_text.remove(0, etx + 1);
        return frame;
    }
}

} // namespace Quorlix
