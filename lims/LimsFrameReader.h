#pragma once

#include <QString>
#include <QStringList>

namespace Quorlix {

// Collects what a LIMS sends on its line into complete frames, STX to ETX. The LIMS line has its
// own reader: pieces of analyzer and LIMS frames never mix.
//
// A piece that starts with STX begins a new frame: an unfinished one collected before is dropped.
// Several frames in one piece are handed on one by one; line ends (CR, LF) between frames are
// ignored, other text outside a frame is dropped; what is collected towards a frame is bounded.
class LimsFrameReader
{
public:
    static constexpr qsizetype Limit = 4096;

    struct Read
    {
        QStringList frames;   // complete frames, in the order they arrived
        QStringList problems; // one Monitor line each
    };

    Read append(const QString& piece);
    const QString& pending() const { return m_text; }

private:
    QString m_text;
};

} // namespace Quorlix
