#pragma once

#include <QString>

namespace Quorlix {

// One thing the owner of an E1381Link does for it, in the order given.
struct E1381Action
{
    enum class Kind
    {
        Write,          // write text on the line, at once or after the protocol's pause
        StartTimer,     // (re)start the link timer for milliseconds; on expiry call timerExpired()
        StopTimer,      // the link timer is not needed
        Received,       // text: a frame or link character as it arrived, for the communication log
        Record,         // text: one complete record received, without framing and without its CR
        MessageEnded,   // the instrument's EOT ended its message
        MessageAborted, // the instrument's message was given up: not received, its records unused
        SendCompleted,  // messageId: every frame was acknowledged and EOT written
        SendFailed,     // messageId, text: why the message was not delivered (one Monitor line)
        Problem,        // text: one Monitor line
    };
    // The pause before a write: an instrument may need it before every write but the ACK of a
    // frame and the ENQ that follows our own EOT.
    enum class Timing
    {
        AtOnce,
        AfterPause,
    };

    Kind kind = Kind::Problem;
    QString text;
    Timing timing = Timing::AtOnce;
    int milliseconds = 0;
    int messageId = 0;
};

} // namespace Quorlix
