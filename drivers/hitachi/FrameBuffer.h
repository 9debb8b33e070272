#pragma once

#include <QString>

#include <optional>

namespace Quorlix {

// The characters a Hitachi receive handler has collected towards its frames. Complete frames (an
// STX, the text, the first ETX after it) are taken off in the order they arrived, however the line
// cut them into pieces; what is left waits for the rest of its frame. A received piece that starts
// with STX begins a new frame: a frame left unfinished before it is dropped.
//
// An analyzer line that never completes a frame must not grow memory without bound: once the text
// passes Limit characters, what precedes the last STX is dropped, or everything when no STX (or
// still too much) is left.
class FrameBuffer
{
public:
    static constexpr qsizetype Limit = 4096;

    // Appends a received piece. Returns the monitor line to write when text had to be dropped
    // (an unfinished frame before a new STX piece, or text beyond the limit), else an empty text.
    QString append(const QString& piece);

    // Takes the next complete frame off the buffer, nothing when none is complete. Characters
    // before its STX that belong to no frame are dropped; `dropped` says how many.
    std::optional<QString> takeFrame(qsizetype* dropped);

    const QString& text() const { return m_text; }
    void clear() { m_text.clear(); }

private:
    QString m_text;
};

} // namespace Quorlix
