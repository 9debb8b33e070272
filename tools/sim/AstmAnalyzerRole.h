#pragma once

#include "SimRole.h"

#include <QByteArray>
#include <QStringList>

namespace QuorlixSim {

// An ASTM instrument toward its host over E1381: the Indiko (one frame per record) or the DSX
// (each message one chain of frames, ETB after every record but the last). It bids, frames its
// records with checksums and frame numbers, splits long records into ETB frames, and checks the
// host's acknowledgements, sending a refused frame again (six attempts in all) and, with --retry, a
// message it could not deliver; it takes the host's answers frame by frame and checks their
// checksums, frame numbers and records. Faults on demand: wrong checksums, a wrong frame number, a
// lost ACK, a message given up after six NAKs, a pause inside a message, NAKs or a garbled ACK for
// a host frame, a bid at the same moment as the host's.
class AstmAnalyzerRole final : public SimRole
{
public:
    explicit AstmAnalyzerRole(bool chained) : m_chained(chained) {}

    bool parse(const ScriptLine& line, SimStep& step, QString* error) override;
    QString help() const override;
    QString controlLine(const QString& controlId, const QString& test, const QString& value,
                        const QDateTime& measured) const override;

private:
    // The faults and settings the next send or expect-answer uses (then they are forgotten).
    struct Faults
    {
        int corrupt = 0;        // frame number (1-based) first sent with a wrong checksum ...
        int corruptTimes = 1;   // ... this many times, each refused with NAK
        int wrongNumber = 0;    // frame first sent with a wrong frame number
        int loseAck = 0;        // frame sent again after its ACK, as if the ACK was lost
        int abort = 0;          // frame sent with a wrong checksum until the sixth NAK: EOT, given up
        bool abortDrop = false; // ... and the message is not sent again
        int hold = 0;           // after this frame's ACK: "mid-message", then a pause of holdMs
        int holdMs = 0;
        int nak = 0;         // host frame answered with NAK ...
        int nakTimes = 1;    // ... this many times in a row
        int garble = 0;      // host frame answered once with a garbled ACK
        bool clash = false;  // answer the host's ENQ with ENQ once (the host retries and wins)
        bool insist = false; // answer the host's ENQ with ENQ until it yields, then send
    };
    enum class Delivery
    {
        Delivered,
        Aborted, // given up on purpose (six NAKs)
        Failed,  // no answer, or refused
    };

    void sendMessage(SimSession& s, int line, const QStringList& records);
    // One attempt at a message: the bid, every frame until it is accepted, EOT.
    Delivery deliver(SimSession& s, int line, const QStringList& out, const Faults& f, bool retryFollows);
    bool bid(SimSession& s, int line, bool insist, bool retryFollows);
    void expectAnswer(SimSession& s, int line, const QStringList& expected);
    QStringList frames(const QStringList& records) const;
    // One link character or one frame from the host; empty after the time-out.
    QByteArray readUnit(SimSession& s, int timeoutMs);
    // Writes a frame or character (counted or not) and takes the host's answer, empty after the time-out.
    QByteArray reply(SimSession& s, const QString& text, bool counted);

    bool m_chained;
    int m_frameSize = 240;
    Faults m_next;
    // The sample of the query just sent and when its EOT went out: the next answer is timed from
    // there.
    QString m_queryId;
    qint64 m_queryEnd = 0;
};

} // namespace QuorlixSim
