#include "LimsFrameReader.h"

#include "core/FrameText.h"

namespace Quorlix {

namespace {

// Many a LIMS ends each frame with CR LF: line ends between frames carry nothing and are no fault.
void DropLeadingLineEnds(QString& text)
{
    qsizetype n = 0;
    while (n < text.size() && (text.at(n) == Cr || text.at(n) == Lf))
        ++n;
    text.remove(0, n);
}

} // namespace

LimsFrameReader::Read LimsFrameReader::append(const QString& piece)
{
    Read read;
    if (piece.startsWith(Stx) && !m_text.isEmpty()) {
        read.problems << (m_text.startsWith(Stx)
                              ? QStringLiteral("%1 characters of an unfinished LIMS frame dropped: a new "
                                               "frame began")
                              : QStringLiteral("%1 characters from the LIMS outside a frame dropped"))
                             .arg(m_text.size());
        m_text.clear();
    }
    m_text += piece;
    DropLeadingLineEnds(m_text);

    for (qsizetype etx = m_text.indexOf(Etx); etx >= 0; etx = m_text.indexOf(Etx)) {
        const qsizetype stx = m_text.lastIndexOf(Stx, etx);
        if (stx < 0) {
            read.problems << QStringLiteral("%1 characters from the LIMS without STX dropped").arg(etx + 1);
        } else {
            if (stx > 0)
                read.problems
                    << QStringLiteral("%1 characters received before the LIMS frame's STX dropped").arg(stx);
            read.frames << m_text.mid(stx, etx - stx + 1);
        }
        m_text.remove(0, etx + 1);
        DropLeadingLineEnds(m_text);
    }

    if (m_text.size() > Limit) {
        const qsizetype before = m_text.size();
        const qsizetype stx = m_text.lastIndexOf(Stx);
        if (stx > 0 && before - stx <= Limit)
            m_text.remove(0, stx);
        else
            m_text.clear();
        read.problems << QStringLiteral("LIMS frame passed %1 characters without ETX: %2 characters dropped")
                             .arg(Limit)
                             .arg(before - m_text.size());
    }
    return read;
}

} // namespace Quorlix
