#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace QuorlixSim {

// The two lines of an instance that a communication log shows.
enum class ReplayLink
{
    Analyzer, // "A->H" received, "H->A" sent
    Lims,     // "L->H" received, "H->L" sent
};

// One frame line of a daily communication log.
struct LoggedFrame
{
    int lineNumber = 0;
    QDateTime at; // its stamp
    ReplayLink link = ReplayLink::Analyzer;
    bool toHost = false; // what the instance received (the replay plays it); else its answer
    QByteArray bytes;    // as they were on the line
};

// One step of a replay: a frame to play (none before the log's first one) and what the instance
// sent on each line until the next frame played, the answer expected.
struct ReplayTurn
{
    bool plays = false;
    LoggedFrame played;
    QList<LoggedFrame> answers;

    QByteArray expected(ReplayLink link) const;
    int expectedLine(ReplayLink link) const; // the log's line of the answer's first frame
};

// Reads a communication log as the instance writes it: "STAMP  A->H TEXT" (and H->A, L->H, H->L)
// with control characters by name. Monitor notes, operator input and the file's header are no
// frames and are passed over. A handshake character the instance logs with a note ("{ACK}header",
// "{ENQ} single inbuff") is that character alone. Returns an error naming the line whose stamp is no date and
// time of the locale, or when the log has no frame the instance received.
QString ReadCommLog(const QString& text, QList<ReplayTurn>& turns, QDateTime* firstStamp);

// Whether an answer differs from the logged one only in the date-time it carries as the time it
// was made: 14 digits (yyyyMMddHHmmss) or 10 (MMddyyHHmm) that read, in the logged answer, within
// two minutes of its stamps and, in the received one, as a date-time of the same form, together
// with the check characters after the ETX or ETB of such a frame.
bool DiffersOnlyInClockTime(const QByteArray& expected, const QByteArray& received, const QDateTime& from,
                            const QDateTime& to);

} // namespace QuorlixSim
