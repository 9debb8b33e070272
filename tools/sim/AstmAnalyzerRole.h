#pragma once

#include "SimRole.h"

#include <QByteArray>
#include <QStringList>

namespace QuorlixSim {

// An ASTM instrument toward its host over E1381: the Indiko (one frame per record) or the DSX
// (each message one chain of frames, ETB after every record but the last). It bids, frames its
// records with checksums and frame numbers, splits long records into ETB frames, and checks the
// host's acknowledgements; it takes the host's answers frame by frame and checks their checksums,
// frame numbers and records. Faults on demand: a wrong checksum, a wrong frame number, a lost
// ACK, a NAK for a host frame, a bid at the same moment as the host's.
class AstmAnalyzerRole final : public SimRole
{
public:
    explicit AstmAnalyzerRole(bool chained) : m_chained(chained) {}

    bool parse(const ScriptLine& line, SimStep& step, QString* error) override;
    QString help() const override;

private:
    // The faults and settings the next send or expect-answer uses (then they are forgotten).
    struct Faults
    {
        int corrupt = 0;     // frame number (1-based) first sent with a wrong checksum
        int wrongNumber = 0; // frame first sent with a wrong frame number
        int loseAck = 0;     // frame sent again after its ACK, as if the ACK was lost
        int nak = 0;         // host frame answered once with NAK
        bool clash = false;  // answer the host's ENQ with ENQ once (the host retries and wins)
        bool insist = false; // answer the host's ENQ with ENQ until it yields, then send
    };

    void sendMessage(SimSession& s, int line, const QStringList& records);
    void expectAnswer(SimSession& s, int line, const QStringList& expected);
    QStringList frames(const QStringList& records) const;
    // One link character or one frame from the host; empty after the time-out.
    QByteArray readUnit(SimSession& s, int timeoutMs);
    // Writes a frame or character and takes the answer; true when it is `wanted`.
    bool exchange(SimSession& s, int line, const QString& text, char wanted, const QString& what);

    bool m_chained;
    int m_frameSize = 240;
    Faults m_next;
    // The sample of the query just sent and when its EOT went out: the next answer is timed from
    // there.
    QString m_queryId;
    qint64 m_queryEnd = 0;
};

} // namespace QuorlixSim
