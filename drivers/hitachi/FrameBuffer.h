#pragma once

#include <QString>

namespace Quorlix {

// The characters a Hitachi receive handler has collected towards a frame. A received piece that
// starts with STX begins a new frame; other pieces are appended. The buffer is not emptied after a
// frame: only the next STX piece does that.
//
// An analyzer line that never completes a frame must not grow memory without bound: once the text
// passes Limit characters, what precedes the last STX is dropped, or everything when no STX (or
// still too much) is left.
class FrameBuffer
{
public:
    static constexpr qsizetype Limit = 4096;

    // Appends a received piece. Returns the monitor line to write when text had to be dropped,
    // otherwise an empty text.
    QString append(const QString& piece);

    // Once a frame is complete: drops noise received before its STX (a piece that did not start with
    // STX was appended to it) and returns how many characters went.
    qsizetype dropNoiseBeforeFrame();

    const QString& text() const { return m_text; }
    void clear() { m_text.clear(); }

private:
    QString m_text;
};

} // namespace Quorlix
