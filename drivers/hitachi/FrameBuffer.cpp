#include "FrameBuffer.h"

#include "core/FrameText.h"

namespace Quorlix {

QString FrameBuffer::append(const QString& piece)
{
    if (piece.startsWith(Stx))
        m_text.clear();
    m_text += piece;
    if (m_text.size() <= Limit)
        return {};

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

qsizetype FrameBuffer::dropNoiseBeforeFrame()
{
    const qsizetype lastStx = m_text.lastIndexOf(Stx);
    if (lastStx <= 0)
        return 0;
    m_text.remove(0, lastStx);
    return lastStx;
}

} // namespace Quorlix
